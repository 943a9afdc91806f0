#include "codecs/uTagLibText.h"

#include <mutex>

#include <taglib/infotag.h>

#include "platform/uCodePage.h"

namespace {

class TInfoTextHandler final : public TagLib::RIFF::Info::StringHandler {
public:
  TagLib::String parse(const TagLib::ByteVector& Data) const override {
    // The chunk's value ends at its first zero byte (the padding).
    std::string_view Bytes(Data.data(), Data.size());
    const size_t Zero = Bytes.find('\0');
    if (Zero != std::string_view::npos) Bytes = Bytes.substr(0, Zero);
    if (platform::IsValidUtf8(Bytes))
      return TagLib::String(std::string(Bytes), TagLib::String::UTF8);
    if (platform::AnsiIsUtf8())
      return ToTagLib(platform::CodePageToWide(platform::LegacyCodePage(), Bytes));
    return ToTagLib(platform::AnsiToWide(Bytes));
  }

  TagLib::ByteVector render(const TagLib::String& Text) const override {
    const std::string Bytes = platform::WideToAnsi(FromTagLib(Text));
    return TagLib::ByteVector(Bytes.data(), static_cast<unsigned int>(Bytes.size()));
  }
};

}  // namespace

TagLib::String ToTagLib(const std::u16string& Text) {
  return TagLib::String(platform::WideToUtf8(Text), TagLib::String::UTF8);
}

std::u16string FromTagLib(const TagLib::String& Text) {
  return platform::Utf8ToWide(Text.to8Bit(true));
}

std::string TagLibFileName(const std::u16string& Path) { return platform::WideToPath(Path); }

TagLib::ByteVector ToByteVector(const std::vector<uint8_t>& Data) {
  return TagLib::ByteVector(reinterpret_cast<const char*>(Data.data()),
                            static_cast<unsigned int>(Data.size()));
}

std::vector<uint8_t> FromByteVector(const TagLib::ByteVector& Data) {
  const auto* Bytes = reinterpret_cast<const uint8_t*>(Data.data());
  return std::vector<uint8_t>(Bytes, Bytes + Data.size());
}

void UseSystemCodePageForInfo() {
  static std::once_flag Once;
  static TInfoTextHandler Handler;
  std::call_once(Once, [] { TagLib::RIFF::Info::Tag::setStringHandler(&Handler); });
}
