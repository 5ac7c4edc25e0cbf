#pragma once

#include "files/hookcontext.h"
#include "records/recordset.h"

#include <QString>

namespace SideFiles {
class Fingerprint;
}

struct TreeLoad {
    bool opened = false;    // the file could be read
    bool cancelled = false; // the user stopped the load
    qint64 lines = 0;       // lines counted up to the first empty one: the progress maximum
};

// Fills `tree` from a file in the catalogue form in two passes: the first counts the lines up to
// the first empty one, for the progress maximum; the second appends them one by one, letting
// input run and testing for a cancel before each line, advancing the progress after each. A
// line the tree rejects (a number field that holds no number) is skipped and the load goes on.
// The status shows "준비중" while counting; after a load that ran to its end the progress and
// the status are cleared, after a cancel they keep their last values. A file that cannot be
// opened leaves the tree empty. With `fingerprint`, each row is hashed as it is added, while its
// text is still at hand, for the side file's check.
TreeLoad loadTree(HookContext &hooks, RecordSet &tree, const QString &path,
                  SideFiles::Fingerprint *fingerprint = nullptr);
