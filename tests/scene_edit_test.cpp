// The studio's gestures on a scene file: the bytes they change, how they meet an editor's save,
// the atomic write, and undo and redo.
#include <sys/stat.h>
#include <unistd.h>

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
