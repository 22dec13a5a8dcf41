#include "blobresult.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <tuple>

namespace {

// A horizontal run of foreground pixels [x0, x1) on row y.
struct Run {
    int y, x0, x1;
};

int findRoot(std::vector<int>& parent, int i)
{
    while (parent[static_cast<size_t>(i)] != i) {
        // Path halving keeps the trees flat.
        parent[static_cast<size_t>(i)] = parent[static_cast<size_t>(parent[static_cast<size_t>(i)])];
        i = parent[static_cast<size_t>(i)];
    }
    return i;
}

// Appends the foreground runs of one row.  The row is read eight bytes at a
// time while they are all background: most marked images are nearly empty.
void rowRuns(const uchar* img, const uchar* mask, int w, int y, uchar background, std::vector<Run>& runs)
{
    auto fg = [&](int x) { return img[x] != background && (!mask || mask[x]); };
    uint64_t bg8;
    std::memset(&bg8, background, sizeof bg8);
    int x = 0;
    while (x < w) {
        if (!fg(x)) {
            ++x;
            if (!mask) {
                while (x + 8 <= w) {
                    uint64_t v;
                    std::memcpy(&v, img + x, sizeof v);
                    if (v != bg8)
                        break;
                    x += 8;
                }
            }
            continue;
        }
        const int x0 = x;
        while (x < w && fg(x))
            ++x;
        runs.push_back({y, x0, x});
    }
}

} // namespace

// Run-based labelling: the runs of each row are joined (union-find) with the
// runs of the row above that touch them, 8-connected.  Far cheaper than a
// per-pixel label image on the sparse pictures the areas produce, and exact:
// area and bounding box of every blob come out as a pixel labelling gives
// them.
CBlobResult::CBlobResult(const cv::Mat& image, const cv::Mat& mask, int background)
{
    if (image.empty() || image.type() != CV_8UC1)
        return;
    const bool useMask = !mask.empty() && mask.size() == image.size() && mask.type() == CV_8UC1;
    // A background outside 0..255 makes every pixel foreground.
    const bool allFg = background < 0 || background > 255;
    const uchar bg = static_cast<uchar>(std::clamp(background, 0, 255));

    std::vector<Run> runs;
    std::vector<int> parent;
    size_t prevBegin = 0, prevEnd = 0;
    for (int y = 0; y < image.rows; ++y) {
        const uchar* img = image.ptr<uchar>(y);
        const uchar* m = useMask ? mask.ptr<uchar>(y) : nullptr;
        const size_t begin = runs.size();
        if (allFg) {
            int x = 0;
            while (x < image.cols) {
                if (m && !m[x]) {
                    ++x;
                    continue;
                }
                const int x0 = x;
                while (x < image.cols && (!m || m[x]))
                    ++x;
                runs.push_back({y, x0, x});
            }
        } else {
            rowRuns(img, m, image.cols, y, bg, runs);
        }
        const size_t end = runs.size();
        parent.resize(end);
        // Runs of both rows are in x order: walk them together.
        size_t p = prevBegin;
        for (size_t c = begin; c < end; ++c) {
            parent[c] = static_cast<int>(c);
            const Run& cur = runs[c];
            // Skip the runs above that end left of this one's reach.
            while (p < prevEnd && runs[p].x1 < cur.x0)
                ++p;
            for (size_t q = p; q < prevEnd && runs[q].x0 <= cur.x1; ++q) {
                const int a = findRoot(parent, static_cast<int>(c));
                const int b = findRoot(parent, static_cast<int>(q));
                if (a != b)
                    parent[static_cast<size_t>(std::max(a, b))] = std::min(a, b);
            }
        }
        prevBegin = begin;
        prevEnd = end;
    }
    if (runs.empty())
        return;

    // Per root: area and bounding box.
    struct Stats {
        int64_t area = 0;
        int left = INT32_MAX, top = INT32_MAX, right = -1, bottom = -1;
    };
    std::vector<int> slot(runs.size(), -1);
    std::vector<Stats> stats;
    for (size_t i = 0; i < runs.size(); ++i) {
        const int r = findRoot(parent, static_cast<int>(i));
        int& s = slot[static_cast<size_t>(r)];
        if (s < 0) {
            s = static_cast<int>(stats.size());
            stats.emplace_back();
        }
        Stats& st = stats[static_cast<size_t>(s)];
        const Run& run = runs[i];
        st.area += run.x1 - run.x0;
        st.left = std::min(st.left, run.x0);
        st.right = std::max(st.right, run.x1);
        st.top = std::min(st.top, run.y);
        st.bottom = std::max(st.bottom, run.y + 1);
    }
    // Blobs that tie on every key are identical to the caller.
    std::vector<size_t> order(stats.size());
    std::iota(order.begin(), order.end(), size_t(0));
    auto key = [&](size_t k) {
        const Stats& s = stats[k];
        return std::make_tuple(s.top, s.left, s.area, s.right - s.left, s.bottom - s.top);
    };
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return key(a) < key(b); });
    blobs_.reserve(order.size());
    for (size_t k : order) {
        const Stats& s = stats[k];
        blobs_.emplace_back(double(s.area), cv::Rect(s.left, s.top, s.right - s.left, s.bottom - s.top));
    }
}
