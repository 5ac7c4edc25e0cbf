#pragma once

class Session;
struct Arguments;
class QString;

// The subcommands, each returning the exit status (cli/exitstatus.h).
int runScan(Session &session);
int runScanImages(Session &session);
int runSearch(Session &session);
int runList(Session &session);
int runShow(Session &session);
int runRemove(Session &session);
int runRename(Session &session);
int runExport(Session &session);

// The search text with the filter options added as the results search's query words.
[[nodiscard]] QString searchText(const Arguments &args);
