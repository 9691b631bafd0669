#pragma once

#include <QString>

namespace velkan {

class MainFrame;

// At start-up: offers each piece of work an instance left behind when it
// stopped without saving, oldest first: 復元, 破棄 or 後で. The first one
// restored goes into `frame` while it holds nothing of the author's; any
// further one opens in a new instance of the program. A file that cannot be
// read is refused with a message and put aside, never loaded in part.
void offerLeftBehindWork(MainFrame &frame, const QString &folder);

// Restores one file (a new instance asked to by the offer): no question.
// False, with a message, when it cannot be taken or read.
bool restoreLeftBehindWork(MainFrame &frame, const QString &path);

// The command-line switch that hands a file to a new instance.
inline constexpr const char *kRecoverOption = "recover";

} // namespace velkan
