// Image-library pieces at the panel's 1280 x 1024 gray geometry: positioning
// (shift only and +-10 degrees), defect and similarity matchers for 50 areas
// covering most of the frame, their training, and the edge measurement.
// Every case checks its result and stops with an error when it is wrong.
// Run with --benchmark_repetitions=9 --benchmark_report_aggregates_only=true.
#include "edgepoint.h"
#include "findshape.h"
#include "graymatch.h"
#include "opencvthreads.h"
#include "rotationscenes.h"
#include "similarity.h"

#include <benchmark/benchmark.h>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr int kW = 1280, kH = 1024;

cv::Mat scene(int w, int h, int seed)
{
    cv::RNG rng(static_cast<uint64_t>(seed));
    cv::Mat noise(h / 8 + 2, w / 8 + 2, CV_8UC1);
    rng.fill(noise, cv::RNG::UNIFORM, 30, 225);
    cv::Mat img;
    cv::resize(noise, img, cv::Size(w + 16, h + 16), 0, 0, cv::INTER_CUBIC);
    img = img(cv::Rect(8, 8, w, h)).clone();
    for (int k = 0; k < 200; ++k)
        cv::rectangle(img, cv::Rect(rng.uniform(0, w), rng.uniform(0, h), rng.uniform(4, 60), rng.uniform(4, 60)),
                      cv::Scalar(rng.uniform(0, 255)), cv::FILLED);
    return img;
}

cv::Mat moved(const cv::Mat& img, double dx, double dy, double angle)
{
    cv::Mat m = cv::getRotationMatrix2D(cv::Point2f(kW / 2.f, kH / 2.f), angle, 1.0);
    m.at<double>(0, 2) += dx;
    m.at<double>(1, 2) += dy;
    cv::Mat out;
    cv::warpAffine(img, out, m, img.size(), cv::INTER_LINEAR, cv::BORDER_REFLECT);
    return out;
}

// 50 areas, a 10 x 5 grid over most of the frame.
std::vector<cv::Rect> areas()
{
    std::vector<cv::Rect> r;
    for (int row = 0; row < 5; ++row)
        for (int col = 0; col < 10; ++col)
            r.emplace_back(20 + col * 124, 20 + row * 198, 116, 190);
    return r;
}

void threads(const benchmark::State& state)
{
    setOpenCVThreads(int(state.range(0)) == 1 ? 1 : -1);
}

// A benchmark that finds the wrong thing measures nothing.  Without rotation
// the shift (found point less the search window's corner) must undo the
// one applied to the frame.
void check(benchmark::State& state, const cv::Mat& search, cv::Point corner, const FindShape& f,
           double expectedAngle, cv::Point expectedShift)
{
    int x = 0, y = 0;
    double score = 0, angle = 0;
    const bool found = f.Find(search, 0, x, y, score, angle);
    const bool shiftOk = expectedAngle != 0.0
                         || (std::abs(x - corner.x - expectedShift.x) <= 1 && std::abs(y - corner.y - expectedShift.y) <= 1);
    if (!found || std::abs(angle - expectedAngle) > 0.5 || !shiftOk || score > 100.0)
        state.SkipWithError("positioning missed");
    state.counters["score"] = score;
    state.counters["angle"] = angle;
}

// Positioning on a 160 x 120 marker, search margin 50 (or the whole frame).
void positioning(benchmark::State& state, int angleRange, int margin)
{
    threads(state);
    const cv::Mat tpl = scene(kW, kH, 1);
    const cv::Rect model(560, 450, 160, 120);
    FindShape f;
    f.CreateShape(tpl(model), 0.0, 0, angleRange, model.x + model.width / 2, model.y + model.height / 2, false, 255,
                  cv::Mat(), 50, 0);
    const cv::Mat frame = moved(tpl, 17, -11, angleRange ? 6.3 : 0.0);
    const cv::Rect sr = cv::Rect(model.x - margin, model.y - margin, model.width + 2 * margin,
                                 model.height + 2 * margin)
                        & cv::Rect(0, 0, kW, kH);
    cv::Mat aligned(frame.size(), CV_8UC1);
    for (auto _ : state) {
        int x = 0, y = 0;
        double score = 0, angle = 0;
        const cv::Mat search = frame(sr).clone();
        if (f.Find(search, 0, x, y, score, angle)) {
            if (angleRange)
                TransformImage(frame, aligned, {x - sr.x, y - sr.y}, {model.x + 80, model.y + 60}, angle);
            else
                MoveImage(frame, aligned, x - sr.x, y - sr.y);
        }
        benchmark::DoNotOptimize(aligned.data);
    }
    check(state, frame(sr).clone(), sr.tl(), f, angleRange ? 6.3 : 0.0, {-17, 11});
}

void BM_PositionShift50(benchmark::State& s) { positioning(s, 0, 50); }
void BM_PositionShiftWholeFrame(benchmark::State& s) { positioning(s, 0, 8000); }
void BM_PositionRotate10(benchmark::State& s) { positioning(s, 10, 50); }

// Default model: the central half of the frame, searched over the frame.
void defaultModel(benchmark::State& state, int angleRange)
{
    threads(state);
    const cv::Mat tpl = scene(kW, kH, 2);
    const cv::Rect model(kW / 4, kH / 4, kW / 2, kH / 2);
    FindShape f;
    f.CreateShape(tpl(model), 0.0, 0, angleRange, kW / 2, kH / 2, false, 255, cv::Mat(), 5, 0);
    const cv::Mat frame = moved(tpl, 9, 4, angleRange ? 4.2 : 0.0);
    cv::Mat aligned(frame.size(), CV_8UC1);
    for (auto _ : state) {
        int x = 0, y = 0;
        double score = 0, angle = 0;
        const cv::Mat search = frame.clone();
        if (f.Find(search, 0, x, y, score, angle)) {
            if (angleRange)
                TransformImage(frame, aligned, {x, y}, {kW / 2, kH / 2}, angle);
            else
                MoveImage(frame, aligned, x, y);
        }
        benchmark::DoNotOptimize(aligned.data);
    }
    check(state, frame, {0, 0}, f, angleRange ? 4.2 : 0.0, {-9, -4});
}

void BM_PositionDefaultModel(benchmark::State& s) { defaultModel(s, 0); }
void BM_PositionDefaultModelRotate10(benchmark::State& s) { defaultModel(s, 10); }
void BM_PositionRotate180(benchmark::State& s) { positioning(s, 180, 50); }

// The rotation case of the accuracy test: a 200 x 200 model, +-10 degrees,
// search window +-40 px; the frames of eight poses in turn, sharp with a
// little noise (clean) or with a part over 12 % of the model, blurred,
// noisy and relit (occluded: every pose under every part, three kinds of
// degradation).  Counts as "misses" the frames found more than a pixel off,
// or more than 0.1 degree off on a clean frame and 1 degree on an occluded
// one (the accuracy test's limits).
void rotation200(benchmark::State& state, bool occluded)
{
    namespace rs = rotationscenes;
    threads(state);
    const cv::Mat ref = rs::reference();
    FindShape f;
    f.CreateShape(ref(rs::kModel), 0.0, 0, rs::kAngleRange, rs::refPoint().x, rs::refPoint().y, false, 255,
                  cv::Mat(), 5, 0);
    const cv::Rect sr = rs::searchRect();
    struct Case {
        cv::Mat search;
        rs::Pose pose;
    };
    std::vector<Case> cases;
    uint64_t seed = 1;
    const std::vector<rs::Degradation> kinds = occluded ? std::vector<rs::Degradation>{{0, 0, 1.0}, {1.0, 3.0, 0.8},
                                                                                       {1.0, 3.0, 1.2}}
                                                        : std::vector<rs::Degradation>{{0, 2.0, 1.0}};
    const std::vector<cv::Rect> parts = occluded ? rs::occluders() : std::vector<cv::Rect>{cv::Rect()};
    for (const rs::Degradation& deg : kinds)
        for (const cv::Rect& part : parts)
            for (const rs::Pose& pose : rs::poses())
                cases.push_back({rs::frame(ref, pose, part, deg, seed++)(sr).clone(), pose});
    size_t next = 0;
    for (auto _ : state) {
        int x = 0, y = 0;
        double score = 0, angle = 0;
        benchmark::DoNotOptimize(f.Find(cases[next].search, 0, x, y, score, angle));
        next = (next + 1) % cases.size();
    }
    int misses = 0;
    for (const Case& c : cases) {
        int x = 0, y = 0;
        double score = 0, angle = 0;
        const bool found = f.Find(c.search, 0, x, y, score, angle);
        const cv::Point want = rs::expectedShift(c.pose);
        if (!found || std::abs(x - sr.x - want.x) > 1 || std::abs(y - sr.y - want.y) > 1
            || std::abs(angle - c.pose.angle) > (occluded ? 1.0 : 0.1))
            ++misses;
    }
    state.counters["frames"] = double(cases.size());
    state.counters["misses"] = misses;
    if (misses > 0)
        state.SkipWithError("positioning missed a frame");
}

void BM_PositionRotate200(benchmark::State& s) { rotation200(s, false); }
void BM_PositionRotate200Occluded(benchmark::State& s) { rotation200(s, true); }

std::vector<cv::Mat> templates(int n)
{
    std::vector<cv::Mat> t;
    const cv::Mat base = scene(kW, kH, 3);
    for (int k = 0; k < n; ++k)
        t.push_back(moved(base, 0.3 * k, -0.2 * k, 0));
    return t;
}

void BM_GrayTrain10x50(benchmark::State& state)
{
    threads(state);
    const auto tpl = templates(10);
    const auto rects = areas();
    std::vector<GrayMatch> m(rects.size());
    for (auto _ : state) {
        for (size_t i = 0; i < rects.size(); ++i) {
            m[i].Create(rects[i].width, rects[i].height, cv::Mat(rects[i].size(), CV_8UC1, cv::Scalar(255)), 0);
            for (const cv::Mat& t : tpl)
                m[i].AddTemp(t(rects[i]));
            m[i].Train(45, 1, 100, 150);
        }
    }
    for (const GrayMatch& g : m) {
        if (!g.IsValid() || g.templateCount() != static_cast<int>(tpl.size())) {
            state.SkipWithError("an area was not trained on every template");
            return;
        }
    }
}

void BM_GrayMatch50(benchmark::State& state)
{
    threads(state);
    const auto tpl = templates(10);
    const auto rects = areas();
    std::vector<GrayMatch> m(rects.size());
    for (size_t i = 0; i < rects.size(); ++i) {
        m[i].Create(rects[i].width, rects[i].height, cv::Mat(), 0);
        for (const cv::Mat& t : tpl)
            m[i].AddTemp(t(rects[i]));
        m[i].Train(45, 1, 100, 150);
    }
    const cv::Mat frame = tpl[3];
    std::vector<cv::Mat> out(rects.size());
    std::vector<int> marked(rects.size(), -1);
    for (auto _ : state) {
        for (size_t i = 0; i < rects.size(); ++i) {
            int n = m[i].Match(frame(rects[i]), out[i]);
            benchmark::DoNotOptimize(n);
            marked[i] = n;
        }
    }
    // A template marks nothing; a dark patch in one area is marked there.
    cv::Mat faulty = frame.clone();
    const cv::Rect patch(rects[7].x + 40, rects[7].y + 60, 20, 20);
    faulty(patch) = 255 - faulty(patch);
    cv::Mat faultyOut;
    const int faultyMarked = m[7].Match(faulty(rects[7]), faultyOut);
    if (std::any_of(marked.begin(), marked.end(), [](int n) { return n != 0; }) || faultyMarked < 100)
        state.SkipWithError("the defect matcher marks the wrong pixels");
}

// Similarity on 10 of the 50 areas, 10 templates each.
void BM_SimilarityTrainMatch10(benchmark::State& state)
{
    threads(state);
    const auto tpl = templates(10);
    const auto rects = areas();
    std::vector<SURF> m(10);
    for (size_t i = 0; i < m.size(); ++i) {
        m[i].Create(rects[i].width, rects[i].height, cv::Mat());
        for (const cv::Mat& t : tpl)
            m[i].AddTemp(t(rects[i]).clone(), 1, 50, 80);
        m[i].Train();
    }
    const cv::Mat frame = moved(tpl[0], 2, 1, 0);
    cv::Mat out;
    std::vector<double> scores(m.size());
    for (auto _ : state) {
        for (size_t i = 0; i < m.size(); ++i) {
            double score = m[i].Match(frame(rects[i]).clone(), out);
            benchmark::DoNotOptimize(score);
            scores[i] = score;
        }
    }
    // A frame moved by a pixel or two is still the same scene; another is not.
    const cv::Mat other = scene(kW, kH, 9);
    const double otherScore = m[0].Match(other(rects[0]).clone(), out);
    if (std::any_of(scores.begin(), scores.end(), [](double v) { return v < 85.0 || v > 100.0; }) || otherScore > 40.0) {
        static std::string text;
        text = "wrong similarity scores:";
        for (double v : scores)
            text += " " + std::to_string(v);
        text += ", another scene " + std::to_string(otherScore);
        state.SkipWithError(text.c_str());
    }
}

void BM_EdgePoint(benchmark::State& state)
{
    threads(state);
    cv::Mat img(kH, kW, CV_8UC1, cv::Scalar(40));
    img(cv::Rect(700, 0, 300, kH)).setTo(200);
    std::vector<cv::Point2d> found;
    for (auto _ : state) {
        auto rect = Rect2RotateRect(cv::Rect(500, 480, 400, 40), 0);
        _EdgePointDetParam p;
        p.minGradient = 35;
        p.rect = rect.get();
        benchmark::DoNotOptimize(clcEdgePoint(img, p));
        found = p.edgePoints;
    }
    // One step, at x = 700.
    if (found.size() != 1 || std::abs(found.front().x - 700) > 1.5)
        state.SkipWithError("wrong edge");
}

} // namespace

BENCHMARK(BM_PositionShift50)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PositionShiftWholeFrame)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PositionDefaultModel)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PositionRotate10)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PositionDefaultModelRotate10)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PositionRotate180)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PositionRotate200)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PositionRotate200Occluded)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GrayTrain10x50)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GrayMatch50)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SimilarityTrainMatch10)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EdgePoint)->Arg(1)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
