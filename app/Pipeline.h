// The file processing pipeline: what happens to documents handed to Korvane by a drop or
// by the Process button.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct IDataObject;

namespace kv::Pipeline {

// One processing run over full paths: encrypt plain documents, decrypt "locked" ones,
// log and count each, then the summary and the user's after-decrypt preference.
// A request that arrives while a run is in progress (a drop or Process handled during
// the run's message passes) is queued and runs, whole, after it.
void ProcessFiles(const std::vector<std::wstring>& paths);

// The entry for a drop: the drop's data object, nothing else. It copies the dropped paths
// and returns at once; the run starts from the message loop (ProcessDrop). A drop without
// a file list gives "Invalid File Type.", an empty one "Invalid File Count".
void HandleFileDrop(IDataObject* data);
void ProcessDrop(bool hasFileList, const std::vector<std::wstring>& paths);

// The paths of a drop's file list in drop order; false when the data carries no file list.
bool DroppedPaths(IDataObject* data, std::vector<std::wstring>* paths);

// True while a run (or the runs queued behind it) is being processed.
bool RunInProgress();
// Requests waiting for the run in progress.
std::size_t QueuedRuns();

}  // namespace kv::Pipeline
