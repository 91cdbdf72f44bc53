#include "publish/ReleasePublisher.h"

#include "platform/DeveloperMarker.h"
#include "platform/UrlOpener.h"
#include "publish/SharedVariables.h"
#include "support/MessageRecorder.h"
#include "support/QtApp.h"
#include "support/TempFolder.h"
#include "trace/SharedString.h"

#include <QUrl>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brivox {
namespace {

namespace fs = std::filesystem;

constexpr int kYes = kIdYes;
constexpr int kNo = kIdNo;

class ReleasePublisherTest : public testing::Test {
protected:
    ReleasePublisherTest() {
        test::WriteTestFile(DeveloperMarkerPath(), "");
        test::WriteTestFile(m_folder.Path("program"), "program bytes");
        chmod(m_folder.Path("program").c_str(), 0755);
        test::WriteTestFile(m_folder.Path("runtime.so"), std::string(100000, 'r'));
        SetSharedVariable("realrelease", "1");
        SetSharedVariable("hcpmode", "");
        SetSharedVariable("pvlanguage", "eng");
        m_previousOpener = SetUrlOpener([this](const QUrl& url) {
            m_opened.push_back(url.toString().toStdString());
            return true;
        });
    }
    ~ReleasePublisherTest() override {
        SetUrlOpener(m_previousOpener);
        unlink(DeveloperMarkerPath().c_str());
        for (const char* variable : {"realrelease", "hcpmode", "pvlanguage"})
            ReleaseSharedString(SharedVariableName(variable, ProgramFilePath()));
    }

    CReleaseSources Sources() const {
        return {m_folder.Path("program"), m_folder.Path("runtime.so"), Root(), "1.42"};
    }
    std::string Root() const { return m_folder.Path("home/#PREWRAP/BRIVOX"); }
    std::string Folder() const { return Root() + "/Brivox v1.42"; }
    // What the boxes said, in order.
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const CMessageRequest& request : m_boxes.Requests())
            texts.push_back(request.text);
        return texts;
    }
    void Publish(std::initializer_list<int> answers) {
        for (const int answer : answers)
            m_boxes.ScriptAnswer(answer);
        PublishRelease(Sources(), nullptr);
    }

    test::CQtAppFirst m_app;
    test::CTempFolder m_folder;
    test::CMessageRecorder m_boxes;
    UrlOpener m_previousOpener;
    std::vector<std::string> m_opened;
};

TEST_F(ReleasePublisherTest, StagesTheProgramAndItsRuntimeByteForByte) {
    Publish({kYes, kIdOk, kYes});
    ASSERT_EQ(Texts(),
              (std::vector<std::string>{"Really want to APPublish this \"eng\"-language project ?",
                                        "APPublish Complete", "Open the APPublish Folder?"}));
    EXPECT_EQ(m_boxes.Requests()[0].caption, "APPublish Project");
    EXPECT_EQ(m_boxes.Requests()[0].type, unsigned{kMbYesNo | kMbIconQuestion});
    EXPECT_EQ(m_boxes.Requests()[1].caption, "Brivox");
    EXPECT_EQ(m_boxes.Requests()[2].caption, "Open Folder");
    EXPECT_EQ(test::ReadTestFile(Folder() + "/brivox"), "program bytes");
    EXPECT_EQ(test::ReadTestFile(Folder() + "/시스템파일/libstdc++.so.6"),
              std::string(100000, 'r'));
    struct stat info {};
    ASSERT_EQ(stat((Folder() + "/brivox").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0755u) << "staged executable";
    EXPECT_EQ(m_opened,
              std::vector<std::string>{
                  QUrl::fromLocalFile(QString::fromStdString(Root())).toString().toStdString()});
}

TEST_F(ReleasePublisherTest, RefusalsAndTheMarker) {
    const struct {
        const char* realRelease;
        const char* hcpMode;
        bool marker;
        std::vector<std::string> said;
    } cases[] = {
        {"1", "", false, {}},
        {"0", "", true, {"Not a Real Release Mode"}},
        {"", "", true, {"Not a Real Release Mode"}},
        {"1", "1", true, {"hcp mode. so cannot release."}},
    };
    for (const auto& c : cases) {
        test::CMessageRecorder boxes;
        SetSharedVariable("realrelease", c.realRelease);
        SetSharedVariable("hcpmode", c.hcpMode);
        if (!c.marker)
            unlink(DeveloperMarkerPath().c_str());
        PublishRelease(Sources(), nullptr);
        std::vector<std::string> said;
        for (const CMessageRequest& request : boxes.Requests())
            said.push_back(request.text);
        EXPECT_EQ(said, c.said) << c.realRelease << "/" << c.hcpMode << "/" << c.marker;
        EXPECT_FALSE(fs::exists(Folder()));
        test::WriteTestFile(DeveloperMarkerPath(), "");
    }
}

TEST_F(ReleasePublisherTest, AnExistingFolderGoesOnlyAfterYes) {
    fs::create_directories(Folder());
    test::WriteTestFile(Folder() + "/old", "old");
    Publish({kYes, kNo});
    EXPECT_EQ(Texts().back(), Folder() + " Already Exists. Delete And Overwrite ?");
    EXPECT_EQ(m_boxes.Requests().back().caption, "APFolder Already Exists.");
    EXPECT_TRUE(fs::exists(Folder() + "/old")) << "kept on No";

    Publish({kYes, kYes, kNo});
    EXPECT_FALSE(fs::exists(Folder() + "/old")) << "replaced on Yes";
    EXPECT_TRUE(fs::exists(Folder() + "/brivox"));
    SetSharedVariable("pvlanguage", "");
    Publish({kNo});
    EXPECT_EQ(Texts().back(), "Really want to APPublish this <Language-unspecified> project ?");
}

TEST_F(ReleasePublisherTest, AFileThatCannotBeCopiedAsksWhetherToGoOn) {
    unlink(m_folder.Path("runtime.so").c_str());
    Publish({kYes, kYes, kNo});
    const std::string question = "Cannot copy " + m_folder.Path("runtime.so") + " to \n" +
                                 Folder() + "/시스템파일/libstdc++.so.6\nProceed about the rest?";
    EXPECT_EQ(Texts(), (std::vector<std::string>{
                           "Really want to APPublish this \"eng\"-language project ?", question,
                           "APPublish Complete", "Open the APPublish Folder?"}));
    EXPECT_EQ(m_boxes.Requests()[1].caption, "Cannot Copy");
    EXPECT_FALSE(fs::exists(Folder() + "/시스템파일/libstdc++.so.6")) << "no cut file either";

    test::CMessageRecorder boxes;
    unlink(m_folder.Path("program").c_str());
    boxes.ScriptAnswer(kYes);
    boxes.ScriptAnswer(kYes);
    boxes.ScriptAnswer(kNo);
    PublishRelease(Sources(), nullptr);
    ASSERT_EQ(boxes.Requests().size(), 3u) << "No stops at once, without the completion";
    EXPECT_EQ(boxes.Requests()[2].caption, "Cannot Copy");
}

TEST_F(ReleasePublisherTest, AStagingFolderThatLinksElsewhereIsNeverDeleted) {
    const std::string elsewhere = m_folder.Path("precious");
    fs::create_directories(elsewhere);
    test::WriteTestFile(elsewhere + "/keep", "keep");
    fs::create_directories(Root());
    fs::create_directory_symlink(elsewhere, Folder());
    Publish({kYes, kYes});
    EXPECT_EQ(Texts().back(), Folder() + " is outside " + Root() + ": not deleted.");
    EXPECT_EQ(test::ReadTestFile(elsewhere + "/keep"), "keep");
}

TEST_F(ReleasePublisherTest, StartUpMarksARealReleaseOnce) {
    ReleaseSharedString(SharedVariableName("realrelease", ProgramFilePath()));
    SetSharedVariable("pvlanguage", "");
    test::CMessageRecorder boxes;
    PublishStartup(1);
    EXPECT_EQ(GetSharedVariable("realrelease"), "1");
    EXPECT_EQ(GetSharedVariable("pvlanguage"), "eng");
    EXPECT_TRUE(boxes.Requests().empty());
    PublishStartup(1);
    ASSERT_EQ(boxes.Requests().size(), 1u);
    EXPECT_EQ(boxes.Requests()[0].text,
              SharedVariableName("realrelease", ProgramFilePath()) + " Already Set");
    EXPECT_EQ(SharedVariableName("realrelease", "C:\\Program Files\\Brivox\\Brivox.EXE"),
              "@realrelease_c:/program files/brivox/brivox.exe");
}

} // namespace
} // namespace brivox
