// Linked into every test and benchmark of the race-checker build only.
// OpenCV runs its parallel loops on TBB worker threads; TBB is not built
// with the race checker, so its hand-offs look like races on every buffer an
// OpenCV call touches.  Running OpenCV serially there keeps the reports to
// our own threads (the grab threads already convert without OpenCV's pool).
#include <opencv2/core/utility.hpp>

namespace {
const bool serialOpenCV = [] {
    cv::setNumThreads(0);
    return true;
}();
}  // namespace
