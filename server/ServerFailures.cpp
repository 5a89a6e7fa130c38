#include "server/ServerFailures.h"

#include <initializer_list>
#include <utility>

#include "os/Files.h"

namespace {

bool ContainsAny(const std::string& text, std::initializer_list<const char*> phrases) {
  for (const char* phrase : phrases)
    if (text.find(phrase) != std::string::npos)
      return true;
  return false;
}

}  // namespace

std::optional<ServerFailure> FindServerFailure(const std::string& text) {
  // Measured with Firebird 3: gbak's backup says "free disk space exhausted", a restore or a
  // validation "I/O error during "write" ... No space left on device", or, when the last
  // write was cut short, "I/O error during "write_retry"" with no system text at all.
  if (ContainsAny(text,
                  {"No space left on device", "free disk space exhausted",
                   "I/O error during \"write\"", "I/O error during \"write_retry\"",
                   "I/O error during \"fallocate\"", "There is not enough space on the disk"}))
    return ServerFailure::DiskFull;
  if (text.find("Database is probably already opened by another engine instance") !=
      std::string::npos)
    return ServerFailure::OtherEngineInstance;
  if (text.find("Access to database") != std::string::npos &&
      text.find("is denied") != std::string::npos)
    return ServerFailure::AccessDenied;
  if (ContainsAny(
          text, {"Error while trying to create file", "cannot open backup file",
                 "I/O error during \"open O_CREAT\"", "I/O error during \"CreateFile (create)\""}))
    return ServerFailure::FolderNotWritable;
  // The program saw the file before it asked: the server looks at another file system (a
  // mapped, SUBST or network drive of the operator's session, another mount).
  if (text.find("Error while trying to open file") != std::string::npos &&
      ContainsAny(text,
                  {"No such file or directory", "The system cannot find the path specified",
                   "The system cannot find the file specified", "The network path was not found"}))
    return ServerFailure::FileNotVisible;
  if (ContainsAny(text, {"connection shutdown", "Firebird shutdown is still in progress"}))
    return ServerFailure::ServerStopped;
  return std::nullopt;
}

std::string ServerFailureMessage(ServerFailure failure, const std::string& file) {
  const std::string folder = os::ExtractFileDir(file);
  switch (failure) {
    case ServerFailure::DiskFull:
      return "Не хватает места на диске: сервер базы данных не смог записать файл\r\n\"" + file +
             "\".\r\nОсвободите место на диске и повторите попытку.";
    case ServerFailure::FolderNotWritable:
      return "Сервер базы данных не может создать файл в папке\r\n\"" + folder +
             "\".\r\nРазрешите пользователю, от имени которого работает сервер базы данных,\r\n"
             "создавать файлы в этой папке и повторите попытку.";
    case ServerFailure::OtherEngineInstance:
      return "База данных \"" + file +
             "\" уже открыта другим экземпляром сервера базы данных.\r\n"
             "Закройте все программы, работающие с базой данных, и повторите попытку.";
    case ServerFailure::AccessDenied:
      return "Настройки сервера базы данных не разрешают работать с файлами в папке\r\n\"" +
             folder +
             "\" (параметр DatabaseAccess).\r\nПоместите базу данных в папку, разрешенную "
             "настройками сервера, и повторите попытку.";
    case ServerFailure::ServerStopped:
      return "Сервер базы данных был остановлен во время работы.\r\n"
             "Дождитесь, пока сервер снова запустится, и повторите попытку.";
    case ServerFailure::FileNotVisible:
      return "Сервер базы данных не видит файл \"" + file +
             "\".\r\nВероятно, файл находится на сетевом или подключенном диске, недоступном "
             "серверу.\r\nСкопируйте базу данных на локальный диск компьютера и повторите "
             "попытку.";
  }
  return {};
}

std::optional<std::string> ServerFailureMessageFor(const std::string& serverText,
                                                   const std::string& databaseFile,
                                                   const std::string& writtenFile) {
  const std::optional<ServerFailure> failure = FindServerFailure(serverText);
  if (!failure)
    return std::nullopt;
  const bool aboutTheWrittenFile =
      *failure == ServerFailure::DiskFull || *failure == ServerFailure::FolderNotWritable;
  return ServerFailureMessage(
      *failure, aboutTheWrittenFile && !writtenFile.empty() ? writtenFile : databaseFile);
}
