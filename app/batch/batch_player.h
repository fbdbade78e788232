// The batch player: a batch file's lines run one by one, unlogged, while the
// main window counts as busy.
#pragma once
#include <functional>
#include <string>

namespace kv {

class Tform1;

// Runs one prepared line; the main window's interpreter in the program.
using TBatchLineRunner = std::function<void(const std::string& Line)>;

// A batch file's line as it is run: blanks trimmed (a line of blanks keeps
// one), and "HIDDEN " put in front unless it starts with "HIDDEN" (any case),
// so batch lines are never logged again. Quit tells whether it starts with
// "QUIT" (any case), which ends the busy state before it runs.
std::string PrepareBatchLine(const std::string& Line, bool& Quit);

// What Tform1::playbatch does, with the line runner given. A missing file is
// reported and plays nothing; an exception from a line ends the batch and
// passes on, the busy count restored either way.
void PlayBatch(Tform1& Form, const std::string& FileName, const TBatchLineRunner& RunLine);

}  // namespace kv
