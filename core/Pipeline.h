// The file processing pipeline: what happens to documents handed to Korvane by a drop or
// by the Process button.
#pragma once

#include <string>
#include <vector>

struct IDataObject;

namespace kv::Pipeline {

// One processing run over full paths: encrypt plain documents, decrypt "locked" ones,
// log and count each, then the summary and the user's after-decrypt preference.
void ProcessFiles(const std::vector<std::wstring>& paths);

// The entry for a drop: the drop's data object, nothing else.
void HandleFileDrop(IDataObject* data);

}  // namespace kv::Pipeline
