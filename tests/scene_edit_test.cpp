// The studio's gestures on a scene file: the bytes they change, how they meet an editor's save,
// the atomic write, and undo and redo.
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "authoring/scene_edit.h"
#include "formats/xml_source.h"

namespace {

namespace fs = std::filesystem;

const std::string kScene = "<scene>\r\n"
                           "  <!-- cut at 20 -->\r\n"
                           "  <camera start=\"0\" end='20'/>\r\n"
                           "  <camera start=\"20\" end=\"30\">\r\n"
                           "    <point X=\"1\" Y=\"2\" Z=\"3\"/>\r\n"
                           "  </camera>\r\n"
                           "  <group><models><model name=\"a\" shader=\"s\"/></models></group>\r\n"
                           "</scene>\r\n";

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void put(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
}

// A scene file in a folder of the test's own.
std::string sceneFile(const std::string& name, const std::string& text = kScene) {
    const std::string dir = ::testing::TempDir() + "scene_edit_" + name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    put(dir + "/s.xml", text);
    return dir + "/s.xml";
}

value_change change(const std::string& text, int index, const std::string& attribute,
                    const std::string& value) {
    return changeOf(text, scanXml(text), index, attribute, value);
}

} // namespace

TEST(SceneEdit, AGestureChangesItsValuesOnlyAndUndoRedoRestoreTheBytes) {
    const std::string file = sceneFile("gesture");
    scene_edit edit(file);
    // The second camera (element 2) from 18 s, its point's Y: one gesture.
    const edit_result r =
        edit.apply({change(kScene, 2, "start", "18"), change(kScene, 3, "Y", "4.5")}, 18.0);
    ASSERT_TRUE(r.ok) << r.message;
    const std::string edited =
        replaced(replaced(kScene, "start=\"20\"", "start=\"18\""), "Y=\"2\"", "Y=\"4.5\"");
    EXPECT_EQ(slurp(file), edited);
    const edit_result back = edit.undo();
    ASSERT_TRUE(back.ok) << back.message;
    EXPECT_EQ(back.at, 18.0);
    EXPECT_EQ(slurp(file), kScene);
    ASSERT_TRUE(edit.redo().ok);
    EXPECT_EQ(slurp(file), edited);
    EXPECT_FALSE(edit.redo().ok);
    ASSERT_TRUE(edit.undo().ok);
    EXPECT_FALSE(edit.undo().ok);
    // A quote or an ampersand in a value is written as an entity in the element's quotes; an
    // attribute the element lacks is added.
    ASSERT_TRUE(
        edit.apply({change(kScene, 1, "end", "a'&"), change(kScene, 6, "texture", "t")}).ok);
    EXPECT_NE(slurp(file).find("end='a&apos;&amp;'"), std::string::npos);
    EXPECT_NE(slurp(file).find("shader=\"s\" texture=\"t\"/>"), std::string::npos);
    ASSERT_TRUE(edit.undo().ok);
    EXPECT_EQ(slurp(file), kScene);
}

TEST(SceneEdit, AnEditorsSaveIsKeptOrTheEditIsRefused) {
    const struct {
        const char* name;
        std::string outside; // the file as an editor saved it before the gesture
        bool applies;
        const char* message;
    } cases[] = {
        {"elsewhere", replaced(kScene, "cut at 20", "cut at 18, then"), true, ""},
        {"same element, other value", replaced(kScene, "end=\"30\"", "end=\"31\""), true, ""},
        {"value changed", replaced(kScene, "start=\"20\"", "start=\"21\""), false,
         "the start of the <camera> number 2 is \"21\" in the file, not \"20\""},
        {"element removed", replaced(kScene, "  <camera start=\"0\" end='20'/>\r\n", ""), false,
         "the file no longer has the <camera> number 2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = sceneFile("outside");
        scene_edit edit(file);
        put(file, c.outside);
        const edit_result r = edit.apply({change(kScene, 2, "start", "18")});
        EXPECT_EQ(r.ok, c.applies) << r.message;
        EXPECT_NE(r.message.find(c.message), std::string::npos) << r.message;
        EXPECT_EQ(slurp(file),
                  c.applies ? replaced(c.outside, "start=\"20\"", "start=\"18\"") : c.outside);
    }
}

TEST(SceneEdit, UndoAfterAnEditorsSaveSetsBackWhatStillReadsAsLeftOrRefuses) {
    const std::string file = sceneFile("undo_outside");
    scene_edit edit(file);
    ASSERT_TRUE(edit.apply({change(kScene, 2, "start", "18")}).ok);
    const std::string edited = slurp(file);
    // A save elsewhere: the undo goes on top of it and keeps it.
    const std::string saved = replaced(edited, "Z=\"3\"", "Z=\"7\"");
    put(file, saved);
    ASSERT_TRUE(edit.undo().ok);
    EXPECT_EQ(slurp(file), replaced(saved, "start=\"18\"", "start=\"20\""));
    // The editor changed the value itself: the redo no longer applies, and the history stays.
    put(file, replaced(kScene, "start=\"20\"", "start=\"25\""));
    const edit_result r = edit.redo();
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.message.find("not redone"), std::string::npos) << r.message;
    EXPECT_TRUE(edit.canRedo());
}

TEST(SceneEdit, TheWriteIsAtomicKeepsTheModeAndGoesThroughALink) {
    const std::string file = sceneFile("atomic");
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    const std::string link = fs::path(file).parent_path().string() + "/link.xml";
    fs::create_symlink(file, link);
    std::string why;
    ASSERT_TRUE(writeAtomically(link, "new", why)) << why;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(slurp(file), "new");
    struct stat st;
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    // Nothing is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(file).parent_path()),
                            fs::directory_iterator()),
              2);
}

TEST(SceneEdit, AFileThatMayNotBeWrittenIsLeftAsItIs) {
    if (geteuid() == 0) GTEST_SKIP() << "root may write a file of mode 0444";
    const std::string file = sceneFile("readonly");
    ASSERT_EQ(chmod(file.c_str(), 0444), 0);
    scene_edit edit(file);
    const edit_result r = edit.apply({change(kScene, 2, "start", "18")});
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.message.find("not written: no permission to write it"), std::string::npos)
        << r.message;
    EXPECT_EQ(slurp(file), kScene);
    EXPECT_FALSE(edit.canUndo());
}

TEST(SceneEdit, AFullDiskLeavesTheFileAsItIsAndNothingBesideIt) {
    if (geteuid() != 0) GTEST_SKIP() << "a small file system of its own needs root";
    const std::string file = sceneFile("full");
    const std::string dir = fs::path(file).parent_path().string();
    ASSERT_EQ(mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k"), 0) << std::strerror(errno);
    struct unmount {
        std::string at;
        ~unmount() { umount2(at.c_str(), MNT_DETACH); }
    } unmounted{dir};
    put(file, kScene);
    {
        std::ofstream filler(dir + "/filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), std::streamsize(block.size())) && filler.flush()) {}
    }
    scene_edit edit(file);
    const edit_result r = edit.apply({change(kScene, 2, "start", "18")});
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.message.find("not written: the disk is full"), std::string::npos) << r.message;
    EXPECT_EQ(slurp(file), kScene);
    EXPECT_FALSE(edit.canUndo());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
    // Room made, the same gesture is written.
    fs::remove(dir + "/filler");
    EXPECT_TRUE(edit.apply({change(kScene, 2, "start", "18")}).ok);
    EXPECT_EQ(slurp(file), replaced(kScene, "start=\"20\"", "start=\"18\""));
}

TEST(SceneEdit, ElementsPutInAndTakenOutAreUndoneExactlyOrRefused) {
    const std::string points = "<scene>\r\n"
                               "  <camera start=\"0\" end=\"9\">\r\n"
                               "    <point X=\"1\" Y=\"2\" Z=\"3\"/>\r\n"
                               "    <point X=\"4\" Y=\"5\" Z=\"6\"/>\r\n"
                               "  </camera>\r\n"
                               "</scene>\r\n";
    const std::string first = "    <point X=\"1\" Y=\"2\" Z=\"3\"/>\r\n";
    const std::string second = "    <point X=\"4\" Y=\"5\" Z=\"6\"/>\r\n";
    const std::string added = "<point X=\"7\" Y=\"8\" Z=\"9\"/>";
    const xml_source source = scanXml(points);
    // An editor's save between the gesture and its undo, which the undo keeps.
    const auto outside = [](const std::string& t) {
        return replaced(t, "<scene>", "<scene v=\"1\">");
    };
    const struct {
        const char* name;
        std::string file; // as the gesture finds it
        value_change change;
        std::string after;  // the file after it, or empty when refused with message
        std::string undone; // after the save and an undo, or empty when that is refused
        const char* message;
    } cases[] = {
        {"a point put in after the first", points, insertionAfter(source, 2, added),
         replaced(points, first, first + "    " + added + "\r\n"), outside(points), ""},
        {"the second point taken out", points, removalOf(points, source, 3),
         replaced(points, second, ""), outside(points), ""},
        {"the first point taken out: nothing before it to put it back after", points,
         removalOf(points, source, 2), replaced(points, first, ""), "", "took out an element"},
        {"put in after a point an editor took out", replaced(points, second, ""),
         insertionAfter(source, 3, added), "", "",
         "the file no longer has the <point> number 2"},
        {"a point an editor changed", replaced(points, "Y=\"5\"", "Y=\"50\""),
         removalOf(points, source, 3), "", "", "<point> number 2 is no longer as it was"},
        {"two elements are not one", points, insertionAfter(source, 2, "<a/><b/>"), "", "",
         "not one element on one line"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = sceneFile("structure", c.file);
        scene_edit edit(file);
        const edit_result r = edit.apply({c.change});
        EXPECT_EQ(r.ok, !c.after.empty());
        EXPECT_EQ(slurp(file), c.after.empty() ? c.file : c.after);
        if (c.after.empty()) {
            EXPECT_NE(r.message.find(c.message), std::string::npos) << r.message;
            continue;
        }
        ASSERT_TRUE(edit.undo().ok);
        EXPECT_EQ(slurp(file), c.file);
        ASSERT_TRUE(edit.redo().ok);
        EXPECT_EQ(slurp(file), c.after);
        put(file, outside(c.after));
        const edit_result back = edit.undo();
        EXPECT_EQ(back.ok, !c.undone.empty()) << back.message;
        EXPECT_EQ(slurp(file), c.undone.empty() ? outside(c.after) : c.undone);
        if (c.undone.empty()) {
            EXPECT_NE(back.message.find(c.message), std::string::npos) << back.message;
            continue;
        }
        // And made again on top of the save.
        ASSERT_TRUE(edit.redo().ok);
        EXPECT_EQ(slurp(file), outside(c.after));
    }
}
