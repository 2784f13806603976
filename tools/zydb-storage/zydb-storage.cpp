// zydb-storage: a command-line inspector for compound files - any file in the Compound File Binary
// format, not only databases. It lists the tree of storages and streams, copies streams out and
// in, and creates files, storages and new names, all through the platform's compound-file service.
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/compound/Compound.h"
#include "platform/framework/DateTime.h"
#include "platform/framework/SysMessage.h"

namespace {

using zycfb::ElementStat;
using zycfb::Result;
using zycfb::Storage;
using zycfb::Stream;

const char kUsage[] =
    "usage: zydb-storage COMMAND ARGS...\n"
    "  ls [-l] FILE [PATH]    list the storages and streams below PATH (default: the whole file);\n"
    "                         -l adds kind, size, creation and modification times (UTC)\n"
    "  cat FILE PATH          copy a stream's bytes to standard output\n"
    "  put FILE PATH [SRC]    create or replace a stream with the bytes of SRC (default or \"-\":\n"
    "                         standard input); the storages above it must exist\n"
    "  mkdir FILE PATH        create a storage; the storages above it must exist\n"
    "  mv FILE PATH NEWNAME   rename an element where it is\n"
    "  new [-3] FILE          create an empty compound file (version 4, or version 3 with -3);\n"
    "                         an existing file is never replaced\n"
    "PATH names storages and streams separated by \"/\". In names, \\xHH stands for the byte HH:\n"
    "listings show control characters that way (\"\\x05SummaryInformation\").\n"
    "Exit status: 0 success, 1 failure, 2 wrong usage.\n";

constexpr uint32_t kReadFile = zycfb::STGM_READ | zycfb::STGM_SHARE_DENY_WRITE;
constexpr uint32_t kWriteFile = zycfb::STGM_READWRITE | zycfb::STGM_SHARE_EXCLUSIVE;
// Elements inside a file open only exclusively, whatever the file's own sharing.
constexpr uint32_t kReadElement = zycfb::STGM_READ | zycfb::STGM_SHARE_EXCLUSIVE;
constexpr uint32_t kWriteElement = zycfb::STGM_READWRITE | zycfb::STGM_SHARE_EXCLUSIVE;
constexpr uint32_t kChunk = 64 * 1024;

// A failure already worded for the user; main prints it and sets the exit status.
struct Failure {
  std::string text;
  int status;
};

[[noreturn]] void UsageError(const std::string& text) { throw Failure{text, 2}; }

// Names travel as UTF-8 with "\xHH" escapes, so names holding control characters (common in
// files of other programs) can be both shown and typed.
std::u16string NameFromArg(const std::string& arg) {
  std::string bytes;
  for (size_t i = 0; i < arg.size(); ++i) {
    if (arg[i] == '\\' && i + 3 < arg.size() && arg[i + 1] == 'x' &&
        isxdigit(static_cast<unsigned char>(arg[i + 2])) &&
        isxdigit(static_cast<unsigned char>(arg[i + 3]))) {
      bytes += static_cast<char>(std::stoi(arg.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      bytes += arg[i];
    }
  }
  return zycfb::Utf8ToUtf16(bytes);
}

std::string ShowName(const std::u16string& name) {
  std::string shown;
  for (char c : zycfb::Utf16ToUtf8(name)) {
    auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F || c == '\\') {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\x%02X", b);
      shown += esc;
    } else {
      shown += c;
    }
  }
  return shown;
}

// "a/b/c" -> its names; empty parts (a leading, doubled or trailing "/") are ignored.
std::vector<std::u16string> SplitPath(const std::string& path) {
  std::vector<std::u16string> names;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) names.push_back(NameFromArg(path.substr(start, end - start)));
    start = end + 1;
  }
  return names;
}

std::string JoinPath(const std::vector<std::u16string>& names, size_t count) {
  std::string path;
  for (size_t i = 0; i < count; ++i) path += (i ? "/" : "") + ShowName(names[i]);
  return path;
}

std::string IsoTime(zycfb::FileTime time) {
  zyfw::SystemTime t;
  if (time == 0 || !zyfw::FileTimeToSystemTime(time, &t)) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

// One command on one file: opens what the command needs and words every failure with the
// command, the file, the element and the service's code and text.
class Session {
 public:
  Session(std::string command, std::string file)
      : command_(std::move(command)), file_(std::move(file)) {}

  [[noreturn]] void Fail(const std::string& what, Result code = 0,
                         const std::string& note = "") const {
    std::string text = "zydb-storage " + command_ + ": " + file_;
    if (!what.empty()) text += ": " + what;
    if (code != 0) {
      std::string message = zyfw::SysErrorMessage(code);
      while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
        message.pop_back();
      char hex[16];
      std::snprintf(hex, sizeof hex, "$%08X", code);
      text += std::string(": ") + hex + " " + message;
    }
    text += note;
    throw Failure{text, 1};
  }
  void Check(Result r, const std::string& what) const {
    if (zycfb::Failed(r)) Fail(what, r);
  }

  std::shared_ptr<Storage> Open(bool write) {
    std::shared_ptr<Storage> root;
    Result r = zycfb::OpenDocfile(file_, write ? kWriteFile : kReadFile, &root);
    // The platform reports a file that exists but holds no compound file as "already exists";
    // say what that means here.
    if (r == zycfb::STG_E_FILEALREADYEXISTS) Fail("", r, " (not a compound file)");
    Check(r, "");
    return root;
  }

  // Opens the storages names[0 .. count) below root.
  std::shared_ptr<Storage> Descend(std::shared_ptr<Storage> storage,
                                   const std::vector<std::u16string>& names, size_t count,
                                   bool write) {
    for (size_t i = 0; i < count; ++i) {
      std::shared_ptr<Storage> child;
      Check(storage->OpenStorage(names[i], write ? kWriteElement : kReadElement, &child),
            JoinPath(names, i + 1));
      storage = child;
    }
    return storage;
  }

  // The storage that holds the element PATH names; PATH must name one.
  std::shared_ptr<Storage> OpenParent(const std::vector<std::u16string>& names, bool write) {
    if (names.empty()) UsageError("zydb-storage " + command_ + ": PATH must name an element");
    return Descend(Open(write), names, names.size() - 1, write);
  }

 private:
  std::string command_;
  std::string file_;
};

void PrintEntry(const ElementStat& stat, int depth, bool longFormat) {
  bool storage = stat.type != zycfb::STGTY_STREAM;
  std::string name = std::string(2 * depth, ' ') + ShowName(stat.name) + (storage ? "/" : "");
  if (longFormat) {
    std::string size = storage ? "-" : std::to_string(stat.size);
    std::printf("%-7s %12s  %-20s  %-20s  %s\n", storage ? "storage" : "stream", size.c_str(),
                IsoTime(stat.creationTime).c_str(), IsoTime(stat.modificationTime).c_str(),
                name.c_str());
  } else {
    std::printf("%s\n", name.c_str());
  }
}

// Lists storage's children, indented by their depth below the listed storage; path is the
// storage's own path from the file's root, for messages.
void ListTree(Session& session, Storage& storage, std::vector<std::u16string>& path, int depth,
              bool longFormat) {
  std::vector<ElementStat> children;
  session.Check(storage.EnumElements(&children), JoinPath(path, path.size()));
  for (const ElementStat& child : children) {
    PrintEntry(child, depth, longFormat);
    if (child.type != zycfb::STGTY_STORAGE) continue;
    path.push_back(child.name);
    std::shared_ptr<Storage> sub;
    session.Check(storage.OpenStorage(child.name, kReadElement, &sub), JoinPath(path, path.size()));
    ListTree(session, *sub, path, depth + 1, longFormat);
    path.pop_back();
  }
}

void CmdLs(Session& session, const std::string& pathArg, bool longFormat) {
  std::vector<std::u16string> names = SplitPath(pathArg);
  std::shared_ptr<Storage> storage = session.Open(false);
  if (!names.empty()) {
    std::shared_ptr<Storage> parent = session.Descend(storage, names, names.size() - 1, false);
    Result r = parent->OpenStorage(names.back(), kReadElement, &storage);
    if (zycfb::Failed(r)) {
      // Not a storage: perhaps a stream, which is listed on its own.
      std::shared_ptr<Stream> stream;
      Result rs = parent->OpenStream(names.back(), kReadElement, &stream);
      session.Check(r == zycfb::STG_E_FILENOTFOUND ? rs : r, JoinPath(names, names.size()));
      ElementStat stat;
      session.Check(stream->Stat(&stat), JoinPath(names, names.size()));
      PrintEntry(stat, 0, longFormat);
      return;
    }
  }
  ListTree(session, *storage, names, 0, longFormat);
}

[[noreturn]] void FailOutput(const Session& session) {
  session.Fail(std::string("standard output: ") + std::strerror(errno));
}

void CmdCat(Session& session, const std::string& pathArg) {
  std::vector<std::u16string> names = SplitPath(pathArg);
  std::shared_ptr<Storage> parent = session.OpenParent(names, false);
  std::shared_ptr<Stream> stream;
  std::string where = JoinPath(names, names.size());
  session.Check(parent->OpenStream(names.back(), kReadElement, &stream), where);
  std::vector<char> buffer(kChunk);
  for (;;) {
    uint32_t got = 0;
    session.Check(stream->Read(buffer.data(), kChunk, &got), where);
    if (got == 0) break;
    if (std::fwrite(buffer.data(), 1, got, stdout) != got) FailOutput(session);
  }
  if (std::fflush(stdout) != 0) FailOutput(session);
}

void CmdPut(Session& session, const std::string& pathArg, const std::string& source) {
  std::vector<std::u16string> names = SplitPath(pathArg);
  if (names.empty()) UsageError("zydb-storage put: PATH must name a stream");
  // The source opens, and its first piece is read, before the compound file is touched: a wrong
  // source (missing, unreadable, a directory) leaves the old stream as it was.
  bool fromStdin = source.empty() || source == "-";
  std::string sourceName = fromStdin ? "standard input" : source;
  auto sourceFailure = [&] {
    return Failure{"zydb-storage put: " + sourceName + ": " + std::strerror(errno), 1};
  };
  FILE* in = fromStdin ? stdin : std::fopen(source.c_str(), "rb");
  if (!in) throw sourceFailure();
  std::unique_ptr<FILE, int (*)(FILE*)> closer(fromStdin ? nullptr : in, &std::fclose);
  std::vector<char> buffer(kChunk);
  size_t got = std::fread(buffer.data(), 1, kChunk, in);
  if (std::ferror(in)) throw sourceFailure();

  std::shared_ptr<Storage> parent = session.OpenParent(names, true);
  std::string where = JoinPath(names, names.size());
  // Replacing a storage by a stream would silently drop everything inside it.
  std::shared_ptr<Storage> existing;
  if (!zycfb::Failed(parent->OpenStorage(names.back(), kReadElement, &existing)))
    session.Fail(where + ": is a storage, not a stream");
  std::shared_ptr<Stream> stream;
  session.Check(parent->CreateStream(names.back(), zycfb::STGM_CREATE | kWriteElement, &stream),
                where);
  for (;;) {
    if (got > 0) {
      uint32_t written = 0;
      session.Check(stream->Write(buffer.data(), static_cast<uint32_t>(got), &written), where);
      if (written != got) session.Fail(where, zycfb::STG_E_WRITEFAULT);
    }
    if (got < kChunk) break;
    got = std::fread(buffer.data(), 1, kChunk, in);
  }
  if (std::ferror(in)) throw sourceFailure();
}

void CmdMkdir(Session& session, const std::string& pathArg) {
  std::vector<std::u16string> names = SplitPath(pathArg);
  std::shared_ptr<Storage> parent = session.OpenParent(names, true);
  std::shared_ptr<Storage> created;
  session.Check(parent->CreateStorage(names.back(), kWriteElement, &created),
                JoinPath(names, names.size()));
}

void CmdMv(Session& session, const std::string& pathArg, const std::string& newName) {
  std::vector<std::u16string> names = SplitPath(pathArg);
  if (newName.find('/') != std::string::npos)
    UsageError("zydb-storage mv: NEWNAME is a name, not a path: elements are renamed in place");
  std::shared_ptr<Storage> parent = session.OpenParent(names, true);
  session.Check(parent->RenameElement(names.back(), NameFromArg(newName)),
                JoinPath(names, names.size()) + " -> " + newName);
}

void CmdNew(Session& session, const std::string& file, int version) {
  std::shared_ptr<Storage> root;
  zycfb::CreateOptions options;
  options.version = version;
  session.Check(zycfb::CreateDocfile(file, kWriteFile, &root, options), "");
}

int Run(const std::vector<std::string>& args) {
  if (args.empty()) UsageError("zydb-storage: a command is needed");
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  // Options come right after the command; the rest are operands.
  std::vector<std::string> operands;
  bool longFormat = false;
  int version = 4;
  size_t i = 1;
  for (; i < args.size() && args[i].size() > 1 && args[i][0] == '-'; ++i) {
    if (args[i] == "--") {
      ++i;
      break;
    }
    if (command == "ls" && args[i] == "-l")
      longFormat = true;
    else if (command == "new" && args[i] == "-3")
      version = 3;
    else if (command == "new" && args[i] == "-4")
      version = 4;
    else
      UsageError("zydb-storage " + command + ": unknown option " + args[i]);
  }
  operands.assign(args.begin() + static_cast<long>(i), args.end());
  size_t n = operands.size();
  auto need = [&](size_t low, size_t high) {
    if (n < low || n > high) UsageError("zydb-storage " + command + ": wrong number of arguments");
  };

  if (command == "ls")
    need(1, 2);
  else if (command == "cat" || command == "mkdir")
    need(2, 2);
  else if (command == "put")
    need(2, 3);
  else if (command == "mv")
    need(3, 3);
  else if (command == "new")
    need(1, 1);
  else
    UsageError("zydb-storage: unknown command \"" + command + "\"");

  Session session(command, operands[0]);
  if (command == "ls")
    CmdLs(session, n > 1 ? operands[1] : "", longFormat);
  else if (command == "cat")
    CmdCat(session, operands[1]);
  else if (command == "put")
    CmdPut(session, operands[1], n > 2 ? operands[2] : "");
  else if (command == "mkdir")
    CmdMkdir(session, operands[1]);
  else if (command == "mv")
    CmdMv(session, operands[1], operands[2]);
  else
    CmdNew(session, operands[0], version);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const Failure& failure) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", failure.text.c_str());
    if (failure.status == 2) std::fputs(kUsage, stderr);
    return failure.status;
  }
}
