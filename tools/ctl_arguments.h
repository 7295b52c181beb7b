// orvctl's command line.
#pragma once

#include <string>
#include <vector>

#include "tools/ctl_logs_arguments.h"

namespace orv::tools {

inline constexpr const char* kCtlUsage =
    "usage: orvctl [--dir DIR] [--gbk] words (deny|replace|record|free) (show|count|save [FILE])\n"
    "       orvctl [--dir DIR] [--gbk] lists (url-black|ip-black|url-white|ip-white)"
    " (show|count|save [FILE])\n"
    "       orvctl [--dir DIR] [--gbk] get KEY\n"
    "       orvctl [--dir DIR] [--gbk] set KEY VALUE\n"
    "       orvctl [--dir DIR] check\n"
    "       orvctl [--dir DIR] repair | unload\n"
    "       orvctl [--dir DIR] [--gbk] logs days\n"
    "       orvctl [--dir DIR] [--gbk] logs show [--day LABEL]"
    " [--kind all|deny|replace|record|other] [--search TEXT] [--page N]\n"
    "       orvctl [--dir DIR] [--gbk] logs stats [--day LABEL]\n"
    "       orvctl [--dir DIR] logs clean\n"
    "\n"
    "Administers the filter's settings (OrvFilter.ini) and keyword database (OrvFilter.db)\n"
    "in DIR, by default the folder that holds orvctl.\n"
    "\n"
    "  words LIST show     print the keyword list, one entry per line\n"
    "  words LIST count    print the count the console shows (\"N组\": line breaks)\n"
    "  words LIST save     store the lines of FILE (standard input without one) as the list\n"
    "  lists LIST show|count|save   the same for the URL and IP black and white lists\n"
    "                      (count: lines of at least 3 bytes)\n"
    "  get KEY             print one setting (KeyIsSystem, KeyLogPath, ...)\n"
    "  set KEY VALUE       store one setting: switches take 0 or 1; KeyAutoHour outside\n"
    "                      0..23 and KeyClearLog reading as 0 are stored as 0; KeyLogPath\n"
    "                      must name an existing folder\n"
    "  check               load everything as the filter does and print what it would run\n"
    "                      with; exit 1 when that is not what the settings ask for\n"
    "  repair              create missing files and the log folder, enable and reload the\n"
    "                      web service (systemd unit orvproxy)\n"
    "  unload              switch the filter off and reload the web service now\n"
    "  logs days           the day files of the log folder (KeyLogPath), newest first:\n"
    "                      serial, date label, file name\n"
    "  logs show           one page of a day as the log window shows it: the kind tabs with\n"
    "                      their counts, the line counts, the page status, then the rows\n"
    "                      (50 a page, eight tab-separated columns). The day is today's or\n"
    "                      the newest unless --day names one (yyyy-mm-dd); --kind and\n"
    "                      --search act as the window's tab and search box; --page is\n"
    "                      clamped to the pages there are\n"
    "  logs stats          a day's events per hour and kind, its top 10 keywords, URLs and\n"
    "                      client addresses, and the events per day and kind of every day\n"
    "  logs clean          remove the day files older than KeyClearLog days (by the date in\n"
    "                      their names; 0 keeps all), printing each removed file\n"
    "\n"
    "Text is UTF-8 in and out, stored as GBK; with --gbk the bytes pass unchanged.\n"
    "A save changes only its own list or key. Exit status: 0 done, 1 failed (nothing\n"
    "changed), 2 bad usage.\n";

struct CtlArguments {
  bool help = false;
  std::string directory;  // empty: the program's own folder
  bool gbk = false;
  std::string command;  // words, lists, get, set, check, repair, unload, logs
  std::string list;     // words / lists: which list
  std::string action;   // words / lists: show, count, save
  std::string file;     // save: the input file ("" for standard input)
  std::string key;      // get / set
  std::string value;    // set

  CtlLogsArguments logs;  // logs: its action and options
};

// False with `error` set for bad usage. List names and keys are checked by the commands
// (an unknown one is an error, not bad usage).
bool ParseCtlArguments(const std::vector<std::string>& args, CtlArguments& parsed,
                       std::string& error);

}  // namespace orv::tools
