// Running parallel work on exactly the number of threads a run was given.
#pragma once

#include <cstddef>
#include <utility>

#include <tbb/global_control.h>
#include <tbb/task_arena.h>

namespace ortholay {

// Runs `work` in a TBB arena of `threads` threads. More threads than cores
// are honoured too: the global limit, which would otherwise cap the arena
// with a warning on standard error, is raised for the time of the work.
template <typename Work>
void RunOnThreads(int threads, Work&& work) {
    tbb::global_control allowed(tbb::global_control::max_allowed_parallelism,
                                static_cast<std::size_t>(threads));
    tbb::task_arena arena(threads);
    arena.execute(std::forward<Work>(work));
}

}  // namespace ortholay
