#include "repair/RepairMessages.h"

#include <algorithm>

#include "os/Format.h"
#include "server/FixedPaths.h"

namespace repairtext {

namespace {

std::string TheLogs() {
  return "Подробности смотрите в логах:\r\n" + paths::SessionLogFile() + "\r\n" +
         paths::ServerLog();
}

std::string SeeTheLogs() {
  return "Вероятно база данных серьезно повреждена.\r\n" + TheLogs();
}

std::string SizeText(std::uint64_t bytes) {
  constexpr std::uint64_t kKb = 1024, kMb = 1024 * 1024;
  if (bytes < 10 * kMb)
    return std::to_string((bytes + kKb - 1) / kKb) + " КБ";
  return std::to_string((bytes + kMb - 1) / kMb) + " МБ";
}

// A box taller than the screen is no use; the report file and the session log have them all.
constexpr std::size_t kBoxTables = 10;
constexpr std::size_t kFieldsShown = 20;
constexpr std::size_t kKeysShown = 20;

std::string Figure(const std::optional<std::int64_t>& rows) {
  return rows ? std::to_string(*rows) : std::string("не удалось подсчитать");
}

std::string EmptiedNote(const TableChange& change) {
  if (!change.emptied)
    return "";
  if (change.partly && change.partly->copied > 0) {
    const PartlyCopied& partly = *change.partly;
    return (partly.finished
                ? Format(" (таблица читалась не полностью: перенесено записей %d, не удалось "
                         "перенести %d",
                         {partly.copied, partly.lost})
                : Format(" (таблица читалась не полностью: перенесено записей %d, остальные "
                         "прочитать не удалось",
                         {partly.copied})) +
           (change.placeholders > 0
                ? Format("; добавлено записей-заглушек: %d", {change.placeholders})
                : std::string()) +
           ")";
  }
  // Its figure after the repair counts nothing but those placeholders.
  if (change.placeholders > 0)
    return Format(
        " (таблица не читалась и восстановлена без записей; добавлено записей-заглушек: %d)",
        {change.placeholders});
  return " (таблица не читалась и восстановлена без записей)";
}

std::string Line(const TableChange& change) {
  return Format("%s: до ремонта %s, после ремонта %s",
                {change.table, Figure(change.before), Figure(change.after)}) +
         EmptiedNote(change);
}

std::string MissingLine(MissingCounts missing) {
  if (missing.before && missing.after)
    return "Число записей до и после ремонта подсчитать не удалось.\r\n";
  if (missing.before)
    return "Число записей до ремонта подсчитать не удалось.\r\n";
  if (missing.after)
    return "Число записей после ремонта подсчитать не удалось.\r\n";
  return "";
}

std::string Joined(const std::vector<std::string>& parts, const std::string& separator) {
  std::string text;
  for (const std::string& part : parts)
    text += (text.empty() ? "" : separator) + part;
  return text;
}

}  // namespace

std::string BackupFailedMessage() {
  return "Не удалось сделать резервную копию базы данных!\r\n" + SeeTheLogs();
}

std::string RestoreFailedMessage() {
  return "Не удалось восстановить базу данных из резервной копии!\r\n" + SeeTheLogs();
}

std::string RestoredFileNotProvenMessage(const std::string& restoredFile,
                                         const std::string& safetyCopy) {
  return "Восстановленная база данных не прошла проверку!\r\n"
         "Файл базы данных не заменен, но изменен маркировкой поврежденных страниц.\r\n"
         "Восстановленная база данных: " +
         restoredFile + "\r\nКопия базы данных до ремонта: " + safetyCopy + "\r\n" + TheLogs();
}

std::string NoRoomMessage(const std::string& volume, std::uint64_t needed, std::uint64_t free) {
  return Format(
      "Недостаточно места на диске \"%s\" для ремонта базы данных:\r\n"
      "нужно %s, свободно %s.\r\n"
      "Освободите место на диске или сохраните копию базы данных на другой диск.",
      {volume, SizeText(needed), SizeText(free)});
}

std::string UnfinishedRepairQuestion(const UnfinishedRepair& earlier) {
  std::string text = "Предыдущий ремонт этой базы данных не был завершен.\r\n";
  if (!earlier.safetyCopy.empty())
    text += "Копия, сделанная перед ним, хранит базу данных до ремонта:\r\n" + earlier.safetyCopy +
            "\r\n"
            "Не удаляйте эту копию.\r\n";
  return text + "Продолжить ремонт?";
}

std::string TableRowsRecord(const TableChange& change) {
  return Format("Таблица %s: записей до ремонта %s, после ремонта %s",
                {change.table, Figure(change.before), Figure(change.after)}) +
         EmptiedNote(change);
}

std::string RowLossBoxText(const std::vector<TableChange>& losses, const std::string& reportFile,
                           MissingCounts missing) {
  // Without a single figure there is no table to name, and silence would read as "nothing lost".
  std::string text =
      losses.empty()
          ? "Ремонт базы данных завершен, но проверить, не потеряны ли записи, не удалось.\r\n" +
                MissingLine(missing) + "Проверьте данные и при необходимости введите их заново.\r\n"
          : "Ремонт базы данных завершен, но в некоторых таблицах записи могли быть потеряны.\r\n" +
                MissingLine(missing) +
                "Проверьте данные этих таблиц и при необходимости введите их заново:\r\n";
  for (std::size_t i = 0; i < losses.size() && i < kBoxTables; ++i)
    text += Line(losses[i]) + "\r\n";
  if (losses.size() > kBoxTables) {
    text += Format("и еще таблиц: %d (полный список в отчете)\r\n",
                   {static_cast<std::int64_t>(losses.size() - kBoxTables)});
  }
  if (!reportFile.empty())
    text += "Отчет сохранен в файле:\r\n" + reportFile;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
    text.pop_back();
  return text;
}

std::string RowReportFileText(const std::vector<TableChange>& tables,
                              const std::string& databaseFile, const std::string& safetyCopy,
                              const std::string& timeStamp, MissingCounts missing) {
  std::string text = "Отчет о ремонте базы данных\r\n";
  text += "Дата ремонта: " + timeStamp + "\r\n";
  text += "База данных: " + databaseFile + "\r\n";
  text += "Копия поврежденной базы данных: " + safetyCopy + "\r\n\r\n";
  text += MissingLine(missing);
  text += "Записи могли быть потеряны в таблицах:\r\n";
  for (const TableChange& change : tables)
    if (change.MayHaveLostRows())
      text += Line(change) + "\r\n";
  text += "\r\nЧисло записей во всех таблицах:\r\n";
  for (const TableChange& change : tables)
    text += Line(change) + "\r\n";
  return text;
}

std::string BlobFieldLines(const std::vector<UnreadableBlob>& fields, std::size_t shown) {
  std::string text;
  for (std::size_t i = 0; i < fields.size() && i < shown; ++i)
    text += "Таблица " + fields[i].table + ", запись " + fields[i].key + ", поле " +
            fields[i].column + "\r\n";
  if (fields.size() > shown)
    text += "и еще полей: " + std::to_string(fields.size() - shown) + "\r\n";
  return text;
}

std::string BlobQuestion(const std::vector<UnreadableBlob>& fields, const std::string& safetyCopy) {
  return "Не удалось сделать резервную копию базы данных: в некоторых записях\r\n"
         "не читаются поля с большими данными (BLOB):\r\n" +
         BlobFieldLines(fields, kFieldsShown) +
         "Эти поля можно очистить: записи останутся в базе данных,\r\n"
         "но без данных этих полей.\r\n"
         "Поврежденная база данных останется в копии:\r\n" +
         safetyCopy +
         "\r\n"
         "Очистить эти поля и восстановить базу данных?";
}

std::string BlobReport(const std::vector<UnreadableBlob>& fields) {
  return "При ремонте программа очистила поля, которые не читались:\r\n" +
         BlobFieldLines(fields, kFieldsShown) + "Данные этих полей нужно ввести заново.";
}

std::string KeyQuestion(const KeyRepairPlan& plan, const std::string& safetyCopy) {
  std::string text =
      "Восстановление базы данных остановилось: в ней нарушены ключи\r\n"
      "или ссылки между таблицами. Программа может закончить ремонт так:\r\n";
  for (const auto& p : plan.placeholders)
    text +=
        p.table + ": будут добавлены записи-заглушки (" + std::to_string(p.keys.size()) + ")\r\n";
  for (const auto& s : plan.setAside)
    text += s.table + ": будут отложены записи (" + std::to_string(s.rows.size()) + ")\r\n";
  if (!plan.setAside.empty())
    text += "Отложенные записи будут сохранены в файл:\r\n" + plan.file + "\r\n";
  return text + "Поврежденная база данных останется в копии:\r\n" + safetyCopy +
         "\r\n"
         "Закончить ремонт таким образом?";
}

std::string KeyReport(const KeyRepairPlan& plan) {
  std::string text = "При ремонте программа изменила данные:\r\n";
  for (const auto& p : plan.placeholders) {
    std::vector<std::string> keys(p.keys.begin(),
                                  p.keys.begin() + std::min(p.keys.size(), kKeysShown));
    text +=
        p.table + ": добавлены записи-заглушки с ключами " + Joined(keys, "; ") +
        (p.keys.size() > kKeysShown ? " и еще " + std::to_string(p.keys.size() - kKeysShown) : "") +
        "\r\n";
  }
  for (const auto& s : plan.setAside)
    text += s.table + ": отложено записей: " + std::to_string(s.rows.size()) + "\r\n";
  if (!plan.placeholders.empty())
    text += std::string("Записи-заглушки отмечены текстом \"") + kPlaceholderMarker +
            "\",\r\n"
            "их данные нужно ввести заново.\r\n";
  if (!plan.setAside.empty())
    text += "Отложенные записи сохранены в файле:\r\n" + plan.file;
  while (text.ends_with("\r\n"))
    text.resize(text.size() - 2);
  return text;
}

std::string SalvageQuestion(const std::vector<std::string>& tables, const std::string& safetyCopy,
                            const std::vector<std::string>& referred, bool partly) {
  // The marking of damaged pages may already have dropped records of other tables: the
  // question promises nothing about them beyond what the rebuild keeps.
  const bool one = tables.size() == 1;
  return std::string(
             one ? "Не удалось сделать резервную копию базы данных: не читается таблица\r\n"
                 : "Не удалось сделать резервную копию базы данных: не читаются таблицы\r\n") +
         Joined(tables, ", ") + "\r\n" +
         (partly ? (one ? "Базу данных можно восстановить с теми записями этой таблицы, которые\r\n"
                          "удастся прочитать; остальные ее записи будут потеряны.\r\n"
                        : "Базу данных можно восстановить с теми записями этих таблиц, которые\r\n"
                          "удастся прочитать; остальные их записи будут потеряны.\r\n")
          : one
              ? "Базу данных можно восстановить без записей этой таблицы: она окажется пустой.\r\n"
              : "Базу данных можно восстановить без записей этих таблиц: они окажутся "
                "пустыми.\r\n") +
         "Остальные таблицы будут восстановлены с теми записями, которые\r\n"
         "удалось прочитать после маркировки поврежденных страниц.\r\n" +
         (referred.empty()       ? std::string()
          : referred.size() == 1 ? "На записи таблицы " + referred[0] +
                                       " ссылаются другие таблицы. Чтобы их записи\r\n"
                                       "сохранились, в нее будут добавлены записи-заглушки.\r\n"
                                 : "На записи таблиц " + Joined(referred, ", ") +
                                       " ссылаются другие таблицы. Чтобы их записи\r\n"
                                       "сохранились, в них будут добавлены записи-заглушки.\r\n") +
         "Поврежденная база данных останется в копии:\r\n" + safetyCopy + "\r\n" +
         (partly ? (one ? "Восстановить базу данных с записями этой таблицы, которые удастся "
                          "прочитать?"
                        : "Восстановить базу данных с записями этих таблиц, которые удастся "
                          "прочитать?")
          : one ? "Восстановить базу данных без записей этой таблицы?"
                : "Восстановить базу данных без записей этих таблиц?");
}

}  // namespace repairtext
