// morvo-encoder as the tests watch it: the real entry, with every row the
// list gains, every restore and every message box printed on standard
// output, one line each:
//   READY             the window exists and a second start can reach it
//   ROW<TAB>target    a row was added
//   RESTORED          the window was brought to the front
//   BOX<TAB>caption<TAB>text   a message box (answered with its first button)
#include <QObject>
#include <cstdio>
#include <memory>

#include "app/forms/uEncoderApp.h"
#include "app/forms/uFileListModel.h"
#include "app/forms/ufrmMain.h"
#include "engine/uTaskItem.h"
#include "platform/uCodePage.h"
#include "platform/uMessageBox.h"

namespace {

void PrintLine(const std::string& Line) {
  std::printf("%s\n", Line.c_str());
  std::fflush(stdout);
}

std::string OneLine(std::u16string Text) {
  for (char16_t& C : Text)
    if (C == u'\r' || C == u'\n') C = u' ';
  return platform::WideToUtf8(Text);
}

class TPrintingAnswerer : public platform::IMessageBoxAnswerer {
public:
  void BoxOpened(const platform::TMessageBoxPtr& Box) override {
    PrintLine("BOX\t" + OneLine(Box->Caption()) + "\t" + OneLine(Box->Text()));
    Box->Answer(platform::DefaultButton(Box->Flags()));
  }
};

void PrintRows(TFileListModel& Model, int First, int Last) {
  for (int Row = First; Row <= Last; ++Row)
    if (const TTaskItem* Task = Model.TaskAt(Row))
      PrintLine("ROW\t" + platform::WideToUtf8(Task->FTargetName));
}

}  // namespace

int main(int argc, char** argv) {
  TEncoderHooks Hooks;
  Hooks.Answerer = std::make_shared<TPrintingAnswerer>();
  Hooks.OnWindowReady = [](TfrmMain& Form) {
    TFileListModel& Model = *Form.Model();
    PrintRows(Model, 0, Model.rowCount() - 1);
    QObject::connect(
        &Model, &QAbstractItemModel::rowsInserted, &Form,
        [&Model](const QModelIndex&, int First, int Last) { PrintRows(Model, First, Last); });
    QObject::connect(&Form, &TfrmMain::Restored, &Form, [] { PrintLine("RESTORED"); });
    PrintLine("READY");
  };
  return RunEncoder(argc, argv, Hooks);
}
