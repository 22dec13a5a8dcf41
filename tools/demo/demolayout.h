#pragma once
// The demo program directory: parameters, areas, camera serials, templates,
// the simulated camera bus and the scenes the machine model swaps, laid out
// through the program's own stores so that the monitor starts on it without
// a single question, with the relay link on (its relay is the program
// MOULDMON_RELAY names, scripts/run's relay peer), and judges the scenes as
// a machine would expect:
//   the mould holding its part   -> product detection OK
//   the empty mould              -> mould detection OK
//   the mould with a part left   -> mould detection NG
//
// Scene files, per camera c (1-based) under "scenes/":
//   cam<c>.bmp        what the camera sees now (the "files" source, reread)
//   cam<c>_part.bmp   the mould holding the moulded part
//   cam<c>_empty.bmp  the empty mould, after the part fell
//   cam<c>_left.bmp   the mould with a part left behind
// mm_boardsim --machine changes a camera's picture by copying a variant
// beside cam<c>.bmp and renaming it over it.
#include <QString>

#include <functional>

#include <opencv2/core.hpp>

class WizardPara;
class CammerSingleton;

namespace demo {

constexpr int kImageW = 1280;
constexpr int kImageH = 1024;
constexpr double kFps = 10.0;
constexpr int kMaxCameras = 8;

enum class Scene { Part,
                   Empty,
                   Left };

struct Options {
    QString dir;
    int cameras = 2;     // 1..8
    int language = -1;   // 0..2; -1: the parameters' default
};

// "MVDEMO0001" ... : the serial of camera c (0-based).
QString cameraSerial(int camera);
// Relative to the program directory.
QString liveSceneFile(int camera);            // "scenes/cam1.bmp"
QString sceneFile(int camera, Scene scene);   // "scenes/cam1_part.bmp"
const char* sceneName(Scene scene);           // "part", "empty", "left"

// The moulded part's outline in image pixels (the part covers the cavities).
cv::Rect partRect();

// The pictures, 8-bit grey kImageW x kImageH, the same on every machine.
cv::Mat drawScene(int camera, Scene scene);
// Template variant v (0 clean, 1 noise, 2 3 % brighter, 3 3 % darker) of
// detection d (0 product: the part in the mould; 1 mould: the empty mould).
constexpr int kTemplateVariants = 4;
cv::Mat drawTemplate(int camera, int d, int variant);

// The demo's parameters and the areas of one camera.
void fillParameters(WizardPara& p);
// PARAM.db of the working directory with the first-start record, the demo's
// parameters and adjust's changes, in language; false when it failed.
bool writeParameters(int language, const std::function<void(WizardPara&)>& adjust);
void fillAreas(CammerSingleton& set);

// Lays the whole directory out; false with *error on the first failure.
bool makeLayout(const Options& options, QString* error);

}   // namespace demo
