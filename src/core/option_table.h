// A command-line parser over one table of options: the same rows give getopt_long its options,
// fill the program's record and print the help lines, so that the three never drift apart.
#pragma once

#include <getopt.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

enum class OptionKind { help, version, flag, text, real, integer };

// One option of a program whose parsed options are a Record: its letter (0 when long-only),
// long name, argument kind, help line and the record fields it sets ("given" counts it; the
// field of its kind receives the value). Rows are in help order.
template <class Record>
struct OptionRow {
  char letter;
  const char* name;
  OptionKind kind;
  const char* help_line;
  unsigned Record::*given;
  int Record::*flag = nullptr;
  std::string Record::*text = nullptr;
  double Record::*real = nullptr;
  int Record::*integer = nullptr;
};

// How a parse ended.
enum class OptionParse {
  ok,        // every option read; `operands` holds the other arguments in order
  help,      // a help row was met (nothing printed: the caller prints its help)
  version,   // a version row was met
  refused,   // unknown option or missing argument (printed by getopt when asked to)
  repeated,  // an option given twice; the reason is printed
};

struct OptionParserSettings {
  const char* package;        // the program's name, first word of the messages
  const char* short_options;  // getopt's short-option string ("" for none)
  bool getopt_messages;       // let getopt_long print its own diagnostic for a bad option
};

namespace option_table_detail {

template <class Record>
const OptionRow<Record>* find_row(std::span<const OptionRow<Record>> rows, int code,
                                  const option* long_options, int long_index) {
  if (code == 0) {
    // Long-only options are told apart by the name of the matched entry.
    const char* name = long_options[long_index].name;
    for (const auto& row : rows)
      if (row.letter == 0 && std::strcmp(row.name, name) == 0) return &row;
    return nullptr;
  }
  for (const auto& row : rows)
    if (row.letter != 0 && row.letter == code) return &row;
  return nullptr;
}

template <class Record>
void store(const OptionRow<Record>& row, const char* arg, Record& record) {
  switch (row.kind) {
    case OptionKind::flag:
      record.*(row.flag) = 1;
      break;
    case OptionKind::text:
      record.*(row.text) = arg;
      break;
    case OptionKind::real:
      record.*(row.real) = std::strtod(arg, nullptr);
      break;
    case OptionKind::integer:
      record.*(row.integer) = std::atoi(arg);
      break;
    default:
      break;
  }
}

inline void print_repeated(const char* package, char letter, const char* name) {
  if (letter != 0) {
    std::fprintf(stderr, "%s: `--%s' (`-%c') option given more than once\n", package, name, letter);
  } else {
    std::fprintf(stderr, "%s: `--%s' option given more than once\n", package, name);
  }
}

}  // namespace option_table_detail

// Parses argv with getopt_long over rows into record (which the caller has cleared). Values
// convert as strtod and atoi do; a repeated option is refused with "package: `--name' (`-x')
// option given more than once". The arguments that are not options are appended to operands.
// Runs again from argument 1 each time it is called (glibc's optind = 0).
template <class Record>
[[nodiscard]] OptionParse parse_option_table(int argc, char* const* argv,
                                             std::span<const OptionRow<Record>> rows,
                                             const OptionParserSettings& settings, Record& record,
                                             std::vector<std::string>& operands) {
  std::vector<option> long_options;
  long_options.reserve(rows.size() + 1);
  for (const auto& row : rows) {
    const bool takes_arg = row.kind == OptionKind::text || row.kind == OptionKind::real ||
                           row.kind == OptionKind::integer;
    long_options.push_back({row.name, takes_arg ? required_argument : no_argument, nullptr,
                            static_cast<int>(row.letter)});
  }
  long_options.push_back({nullptr, 0, nullptr, 0});

  // optind 0 also clears the scanner's hidden state, so a process may parse more than once.
  optind = 0;
  opterr = settings.getopt_messages ? 1 : 0;
  while (true) {
    int long_index = 0;
    const int code =
        getopt_long(argc, argv, settings.short_options, long_options.data(), &long_index);
    if (code == -1) break;
    if (code == '?') return OptionParse::refused;
    const OptionRow<Record>* row =
        option_table_detail::find_row(rows, code, long_options.data(), long_index);
    if (row == nullptr) {
      std::fprintf(stderr, "%s: option unknown: %c\n", settings.package, code);
      return OptionParse::refused;
    }
    if (row->kind == OptionKind::help) return OptionParse::help;
    if (row->kind == OptionKind::version) return OptionParse::version;
    if (record.*(row->given) != 0) {
      option_table_detail::print_repeated(settings.package, row->letter, row->name);
      return OptionParse::repeated;
    }
    record.*(row->given) = 1;
    option_table_detail::store(*row, optarg, record);
  }
  for (int i = optind; i < argc; ++i) operands.emplace_back(argv[i]);
  return OptionParse::ok;
}
