// Writes the seed corpora of the fuzz targets into the folder given (fuzz/corpus): a few small
// compound files, small databases of both format versions, and statements of every kind. The
// seeds are kept in the repository; this program only makes them again when their shape should
// change.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "engine/query/ZyDatabaseQuery.h"
#include "fuzz/FuzzBodies.h"
#include "platform/compound/Compound.h"
#include "platform/framework/Stream.h"

using namespace zycfb;

namespace {

const uint32_t kRW = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;

void Put(Storage& at, const std::u16string& name, size_t size) {
  std::shared_ptr<Stream> s;
  at.CreateStream(name, kRW, &s);
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = char(i * 31 + size);
  s->Write(bytes.data(), uint32_t(size), nullptr);
}

void CompoundSeed(const std::string& path, int version, bool empty) {
  std::shared_ptr<Storage> root, sub, deeper;
  CreateOptions options;
  options.version = version;
  CreateDocfile(path, kRW | STGM_CREATE, &root, options);
  if (empty) return;
  root->CreateStorage(u"S", kRW, &sub);
  Put(*root, u"a", 100);
  Put(*sub, u"mini", 700);
  Put(*sub, u"big", version == 3 ? 5000 : 9000);
  sub->CreateStorage(u"T", kRW, &deeper);
  Put(*deeper, u"z", 10);
  root->RenameElement(u"a", u"renamed");
}

void DatabaseSeed(const std::string& path, int version) {
  TZyDatabase db;
  db.FileName = path;
  db.FileVersion = version;
  db.Open(zydDatabaseCreate);
  TZyDatabaseQuery q(&db);
  for (const char* sql :
       {"CREATE TABLE T (ID SignedInt32 AutoNumber, S String(8) NULL, F Float8 NULL, "
        "BY Byte(4) NULL, M Text NULL, X Binary NULL)",
        "CREATE TABLE U (K SignedInt64, B Boolean NULL)",
        "INSERT INTO T (S, F, BY) VALUES ('one', 1.5, 'ab')",
        "INSERT INTO T (S) VALUES ('two')", "INSERT INTO T (S, M) VALUES ('three', :m)",
        "DELETE FROM T WHERE S = 'two'", "INSERT INTO U VALUES (42, TRUE)"}) {
    q.SQLGet().TextSet(sql);
    // Text and Binary values come as parameters: the dialect has no literal for them.
    if (std::strstr(sql, ":m")) q.ParamByName("m")->TextSet("memo three");
    q.ExecSQL();
  }
  q.SQLGet().TextSet("UPDATE T SET X = :x WHERE S = 'one'");
  zyfw::TMemoryStream bytes;
  bytes.WriteBuffer("\x01\x02\x03", 3);
  q.ParamByName("x")->BinarySet(bytes);
  q.ExecSQL();
}

void Text(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_seeds CORPUS_FOLDER\n");
    return 2;
  }
  const std::string out = argv[1];
  CompoundSeed(out + "/compound/empty3.cfb", 3, true);
  CompoundSeed(out + "/compound/tree3.cfb", 3, false);
  CompoundSeed(out + "/compound/tree4.cfb", 4, false);
  DatabaseSeed(out + "/database/small3.zyd", 3);
  DatabaseSeed(out + "/database/small4.zyd", 4);
  const char* statements[] = {
      "SELECT * FROM ALLTYPES",
      "SELECT ID, S, T FROM ALLTYPES WHERE I32 = 1 OR (S = 'alpha' AND F8 > 0)",
      "SELECT * FROM SMALL WHERE NAME IS NULL",
      "SELECT K FROM SMALL WHERE SYS_ROWID = 3",
      "SELECT * FROM ALLTYPES WHERE C >= 1.5 AND D < '12/31/2020' AND B = TRUE",
      "SELECT * FROM EMPTY",
      "INSERT INTO SMALL (K, NAME) VALUES (9, 'nine')",
      "INSERT INTO ALLTYPES (I8, BY, T) VALUES (-7, 'xy', 'text')",
      "UPDATE SMALL SET NAME = 'x' WHERE K = 1",
      "DELETE FROM SMALL WHERE K = 3",
      "CREATE TABLE N (A SignedInt32 AutoNumber, B String(5) NULL, C Text NULL)",
      "SELECT * FROM SMALL WHERE K = :p",
      "SELECT S FROM ALLTYPES\r\nWHERE S <> 'beta'\r\n",
  };
  int i = 0;
  for (const char* s : statements) Text(out + "/sql/statement" + std::to_string(i++) + ".sql", s);
  return 0;
}
