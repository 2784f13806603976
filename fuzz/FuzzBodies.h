// What each fuzz target does with one input, kept apart from libFuzzer's entry point so that the
// regression suite (tests/reliability) replays saved inputs through exactly the same code. A body
// returns normally for any input that ends in a result code or an engine error; anything else
// (a crash, a foreign exception, a sanitizer report) is a finding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class TZyDatabase;

// The bytes as a compound file: open it (read-only, then read-write), list every storage, read
// every stream, then write to it a little.
int ZyFuzzCompound(const uint8_t* data, size_t size);
// The bytes as a database file: open it, list the tables and read every row and every value.
int ZyFuzzDatabase(const uint8_t* data, size_t size);
// The bytes as SQL text, prepared against a database with a table of every column type; a
// statement that prepares is opened and its cursor walked to the end.
int ZyFuzzSql(const uint8_t* data, size_t size);

// Every table of an open database, its columns, and every row with every value (Text and Binary
// values read from their streams), as text: two databases with the same content give the same
// text. Raises what the engine raises.
std::string ZyDumpDatabase(TZyDatabase& db);

// A scratch file for one input: its path, unique to this process and this target.
std::string ZyFuzzScratchPath(const char* target);
// Writes bytes to path, replacing the file.
void ZyFuzzWriteFile(const std::string& path, const uint8_t* data, size_t size);
