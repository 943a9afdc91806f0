// What the tag reader and writer share about TagLib: its strings to ours
// and back, file names, and the text of RIFF INFO chunks, which carry no
// encoding of their own.
//
// Thread-safe; UseSystemCodePageForInfo may be called from any thread (it
// installs the handler once).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <taglib/tbytevector.h>
#include <taglib/tstring.h>

TagLib::String ToTagLib(const std::u16string& Text);
std::u16string FromTagLib(const TagLib::String& Text);
// The bytes of a wide file name as the file system knows them.
std::string TagLibFileName(const std::u16string& Path);
TagLib::ByteVector ToByteVector(const std::vector<uint8_t>& Data);
std::vector<uint8_t> FromByteVector(const TagLib::ByteVector& Data);

// RIFF INFO text is 8-bit text in the system code page, as Windows reads
// and writes it; a chunk that is valid UTF-8 reads as UTF-8 and, on a
// UTF-8 desktop, one that is not reads in the legacy code page of the
// user's language. Installed into TagLib once for the whole process.
void UseSystemCodePageForInfo();
