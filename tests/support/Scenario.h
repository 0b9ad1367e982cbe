#pragma once
// A scenario: the `game` program run headless, as a player would start it,
// on a folder of data our tools made, with a fixed frame clock, ending with a
// capture of its screen that is compared with a stored reference image.
//
//   Scenario scenario("FogColoursTheFarObject");
//   CQVActor* scenery = scenario.BeginScene();      // the game's classes, empty level
//   ... make actors under scenery with ids from scenario.NextId(), write a
//       library to scenario.LibraryPath() and its files into DataFolder() ...
//   scenario.CaptureAt(0.5f);                       // game time of the capture
//   ASSERT_TRUE(scenario.SaveScene());
//   ASSERT_EQ(scenario.Run(), 0);
//   EXPECT_TRUE(scenario.MatchesReference("tests/actors/scene/reference/fog.png", 8, 0.002));
//
// References live in the source tree. QV_UPDATE_REFERENCES=1 writes the
// captured image as the new reference (and passes); when that changes an
// existing reference, the old one, the new one and both side by side with
// their difference are left in <build>/scenario-output/<test name>/ for
// review. A mismatch leaves the same three images there.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class CQVActor;

struct CapturedImage {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> pixels;  // ARGB, rows top first
    uint32_t At(uint32_t x, uint32_t y) const { return pixels[size_t{y} * width + x]; }
    // The mean of red, green and blue over the pixels [x0, x1) x [y0, y1), 0 to 255.
    double Brightness(uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1) const;
    // The mean of one channel (16 red, 8 green, 0 blue) over the same rectangle.
    double ChannelMean(int shift, uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1) const;
};

class Scenario {
public:
    // A fresh folder under the temporary directory, named after the test,
    // with an empty resource library and globals file; removed at the end.
    // The game runs in a window of width x height, and the capture is that size.
    explicit Scenario(const std::string& name, int width = 320, int height = 240);
    ~Scenario();
    Scenario(const Scenario&) = delete;
    Scenario& operator=(const Scenario&) = delete;

    const std::filesystem::path& Folder() const { return m_Folder; }
    int Width() const { return m_Width; }
    int Height() const { return m_Height; }
    // "Data" in the folder: where actor files and the library's item files go.
    std::filesystem::path DataFolder() const { return m_Folder / "Data"; }
    // The library file the game opens at start-up (an empty one until a test writes its own).
    std::filesystem::path LibraryPath() const;

    // Starts the start scene: an actor system with every class of the game,
    // and the "Scenery" actor under which the scene is made.
    CQVActor* BeginScene();
    // Opens a scene file of the data folder (the start scene unless named),
    // with the folder's resource library read (items not loaded, as the game
    // reads it at start), so that a test can change a level that a tool
    // wrote before saving it again with SaveScene(fileName). "Scenery", or
    // null when it cannot be read. NextId() then continues after the
    // highest id of the scene.
    CQVActor* OpenScene(const std::string& fileName = "Start.qva");
    // Writes the library read by OpenScene back to the folder, with what the
    // test changed in its items.
    static bool SaveLibrary();
    // The first actor of that name in the open scene; null when there is none.
    static CQVActor* FindActor(const char* name);
    // The next id of the start scene's range: actors made under other ids
    // are not saved with the scene.
    uint32_t NextId() { return m_NextId++; }
    // Captures the back buffer at `seconds` of game time, saves it and ends
    // the game (an actor whose timed message runs the capture script).
    void CaptureAt(float seconds);
    // Captures, saves and ends the game when the scene is told "Start Game":
    // in a level that a level change loads, that is while the loading screen
    // still shows, its last step drawn.
    void CaptureOnStart();
    // An actor under "Scenery" whose script, run by `message`, captures,
    // saves and ends the game, for the test to place where that message
    // comes: while a menu pauses the game no timed message fires, so a
    // menu's own events have to run the capture.
    CQVActor* MakeCaptureActor(uint32_t message);
    // Saves the scene as the start scene and frees the actor system.
    bool SaveScene(const std::string& fileName = "Start.qva");

    // Runs the game headless, each frame `frameStep` seconds long; the exit
    // status, or -1 when it outlived the timeout (then it is killed).
    // Options are added to the window's (e.g. "-s=0").
    int Run(double frameStep = 1.0 / 60.0, int timeoutMs = 120000, std::vector<std::string> options = {});
    // What the game wrote on standard error.
    const std::string& ErrorOutput() const { return m_ErrorOutput; }

    // The capture the run saved.
    bool LoadCapture(CapturedImage* image, std::string* error) const;
    // The capture matches the reference (a path below the source tree) when
    // at most maxBadFraction of its pixels differ by more than tolerance in
    // any channel (alpha ignored).
    testing::AssertionResult MatchesReference(const std::string& reference, int tolerance, double maxBadFraction) const;
    // Writes image as fileName (a PNG) into the current test's output folder,
    // for whoever has to judge a failed check; its path.
    static std::filesystem::path WriteOutput(const std::string& fileName, const CapturedImage& image);

private:
    std::filesystem::path m_Folder;
    std::string m_Name;
    std::string m_ErrorOutput;
    int m_Width;
    int m_Height;
    bool m_SceneOpen = false;
    uint32_t m_NextId = 3000;
};
