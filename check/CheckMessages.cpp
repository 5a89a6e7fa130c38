#include "check/CheckMessages.h"

#include <initializer_list>

#include "server/FixedPaths.h"

namespace {

std::string JoinLines(std::initializer_list<std::string> lines) {
  std::string text;
  bool first = true;
  for (const std::string& line : lines) {
    if (!first)
      text += "\r\n";
    text += line;
    first = false;
  }
  return text;
}

// A message that ends in a line break (the tool's text of a refused login does) would leave
// an empty row before the lines that follow it.
std::string WithoutTrailingLineBreaks(std::string text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
    text.pop_back();
  return text;
}

}  // namespace

CheckBox NoDamageQuestionBox() {
  return {"Повреждений не обнаружено!",
          JoinLines({"Программа не нашла повреждений в базе данных. Скорее всего база",
                     "данных совершенно нормальная! Для того, чтобы окончательно в этом",
                     "убедиться, предлагается сделать резервную копию базы данных.",
                     "Если при создании резервной копии никаких ошибок не возникнет,",
                     "значит база данных абсолютно нормальная!", "",
                     "Сделать резервную копию базы данных?"}),
          DialogButtons::OkCancel, DialogIcon::Information};
}

CheckBox DamageBox(const std::string& report) {
  return {"Внимание! База повреждена!",
          report + "\r\n\r\n" +
              JoinLines({"База повреждена. Более подробная информация о повреждениях находится",
                         "в файле \"" + paths::ServerLog() + "\". Повреждения могут иметь разную",
                         "степень опасности. Для того, чтобы определить, насколько опасны",
                         "данные повреждения, программа попытается сделать резервную",
                         "копию базы данных. Если при создании резервной копии не будет",
                         "выявлено ошибок, значит повреждения базы незначительные (с базой",
                         "работать можно, однако некоторые записи могут не попадать в отчеты)."}),
          DialogButtons::Ok, DialogIcon::Warning};
}

CheckBox ValidationErrorBox(const std::string& message) {
  return {"Ошибка",
          JoinLines({"В ходе работы процедуры проверки базы данных",
                     "произошла ошибка: ", WithoutTrailingLineBreaks(message), "",
                     "Программа попытается выполнить проверку путем создания",
                     "резервной копии базы данных"}),
          DialogButtons::Ok, DialogIcon::Error};
}

CheckBox BackupCleanAfterDamageBox() {
  return {"Информация",
          JoinLines({"В ходе создания резервной копии повреждений не обнаружилось!",
                     "Однако предыдущая проверка показала наличие ошибок в базе данных.",
                     "Рекомендуется выполнить ремонт базы данных"}),
          DialogButtons::Ok, DialogIcon::Information};
}

CheckBox BackupCleanBox() {
  return {"Информация",
          JoinLines({"В ходе создания резервной копии", "повреждений не обнаружилось!"}),
          DialogButtons::Ok, DialogIcon::Information};
}

CheckBox WithBackupFileLeftNote(CheckBox box, const std::string& backupFile) {
  box.text +=
      "\r\n\r\n" + JoinLines({"Файл резервной копии удалить не удалось (вероятно, он еще",
                              "занят другой программой). Удалите его позже вручную:", backupFile});
  return box;
}

CheckBox BackupFailureBox(const std::string& message) {
  return {"Внимание!",
          JoinLines({"Была выполнена попытка сделать резервную копию базы данных.",
                     "Резервную копию сделать не удалось. Вероятно, база данных",
                     "повреждена. Дополнительные сведения об ошибке смотрите в",
                     "файле: " + paths::SessionLogFile(), "", "Текст ошибки:", message}),
          DialogButtons::Ok, DialogIcon::Error};
}

CheckBox BackupEnvironmentFailureBox(const std::string& failure, const std::string& message) {
  return {"Внимание!",
          JoinLines({"Была выполнена попытка сделать резервную копию базы данных.",
                     "Резервную копию сделать не удалось, но причина не в повреждении",
                     "базы данных:", failure, "", "Текст ошибки:", message}),
          DialogButtons::Ok, DialogIcon::Error};
}

DialogResult Show(OperatorDialogs& dialogs, const CheckBox& box) {
  return dialogs.ShowMessage(box.caption, box.text, box.buttons, box.icon, /*defaultButton=*/0);
}
