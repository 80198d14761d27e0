#pragma once
// The points of a save by WriteFileAtomic at which a crash-safety test stops the writer: the
// temporary file written, then flushed to disk and closed, then renamed over the name. The hook is
// null in the program; only a test sets it (in a child process it then kills).

namespace kelvra {

enum class TAtomicWriteStage { Written, Synced, Renamed };
extern void (*AtomicWriteHook)(TAtomicWriteStage stage);

} // namespace kelvra
