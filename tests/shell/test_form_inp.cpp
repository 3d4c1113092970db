// SPDX-License-Identifier: MIT
#include "shell/Form_inp.h"

#include "shell/FileLists.h"
#include "support/QtTestSupport.h"
#include "support/TestSupport.h"
#include "ui/Windows.h"
#include "viewer/Form_PW.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

using namespace camber;
using camber::test::example;
using camber::test::slurp;
using camber::test::TempDir;
namespace fs = std::filesystem;

namespace {

const char* const kControls[] = {"Drive1", "Dir1", "ComboFT", "File1", "InputF", "Cmd_wing",
                                 "Opt_UL_TC(0)", "Opt_UL_TC(1)", "Cmd_Edit", "Cmd_Save", "Cmd_SaveAs", "Quit"};

// The start-up window on a working folder (the process's current directory) with a data
// folder of section files below it.
class StartWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        state() = SectionState{};
        m_oldCwd = QDir::currentPath();
        m_data = m_dir.path() / "data";
        fs::create_directories(m_data / "sub");
        fs::copy_file(example("naca2412.ULF"), m_data / "wing1.ULF");
        fs::copy_file(example("naca0012.ULF"), m_data / "a.b.ULF");
        fs::copy_file(example("naca0010.ULF"), m_data / "noext");
        fs::copy_file(example("naca0012.ULF"), m_data / "wing.ulf");
        m_dir.write("data/notes.txt", "not a section\n");
        m_dir.write("data/bad.ULF", "a title and nothing else\n");
        QDir::setCurrent(QString::fromStdString(m_dir.path().string()));
        m_form = std::make_unique<Form_inp>();
        m_form->show();
    }
    void TearDown() override
    {
        m_form.reset();
        ui::Windows::closeAll();
        test::processDeferred();
        Form_inp::setEditorOpener({});
        QDir::setCurrent(m_oldCwd);
    }

    template <typename T = QWidget>
    T* control(const char* name) const
    {
        T* w = m_form->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    FileList* files() const { return control<FileList>("File1"); }
    DirList* dirs() const { return control<DirList>("Dir1"); }
    QString text(const char* name) const { return control<QLineEdit>(name)->text(); }
    void click(const char* name) const { control<QAbstractButton>(name)->click(); }
    void openData() const { dirs()->setPath(QString::fromStdString(m_data.string())); }
    void pick(const char* file) const { ASSERT_TRUE(files()->selectFile(file)) << file << " is not listed"; }
    QStringList listed() const
    {
        QStringList names;
        for (int i = 0; i < files()->count(); ++i)
            names << files()->item(i)->text();
        return names;
    }
    std::set<std::string> usable() const
    {
        std::set<std::string> names;
        for (const char* name : kControls)
            if (control(name)->isEnabled())
                names.insert(name);
        return names;
    }

    TempDir m_dir;
    fs::path m_data;
    QString m_oldCwd;
    std::unique_ptr<Form_inp> m_form;
};

TEST_F(StartWindow, LoadsAsDesigned)
{
    EXPECT_EQ(m_form->windowTitle(), "Input File");
    const auto* combo = control<QComboBox>("ComboFT");
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->currentText(), "Input Files (*.ULF)");
    EXPECT_EQ(combo->itemText(1), "All Files (*.*)");
    EXPECT_EQ(text("Finput"), "*.ULF");
    EXPECT_EQ(text("Foutput"), "*.gwo");
    EXPECT_EQ(text("WorkDir"), "Working directory");
    EXPECT_TRUE(control<QRadioButton>("Opt_UL_TC(0)")->isChecked());
    EXPECT_EQ(control<QAbstractButton>("InputF")->text(), "&Input");
    EXPECT_EQ(control<QAbstractButton>("Cmd_Edit")->text().simplified(), "Geometry Edition");
    EXPECT_EQ(dirs()->path(), QDir::currentPath());
    EXPECT_EQ(files()->path(), QDir::currentPath());
    const auto* drives = control<QComboBox>("Drive1");
    EXPECT_GE(drives->findText("/"), 0);
    EXPECT_TRUE(QDir::currentPath().startsWith(drives->currentText()));
}

TEST_F(StartWindow, ControlsBecomeUsableStepByStepFromStartToEdit)
{
    using Names = std::set<std::string>;
    const Names lists = {"Drive1", "Dir1", "ComboFT", "File1", "Opt_UL_TC(0)", "Opt_UL_TC(1)", "Quit"};
    EXPECT_EQ(usable(), lists) << "at start";

    openData();
    pick("wing1.ULF");
    Names afterClick = lists;
    afterClick.insert("InputF");
    EXPECT_EQ(usable(), afterClick) << "after a file was clicked";

    click("InputF");
    Names afterRead = afterClick;
    afterRead.insert({"Cmd_wing", "Cmd_Edit", "Cmd_Save", "Cmd_SaveAs"});
    EXPECT_EQ(usable(), afterRead) << "after a read";
    EXPECT_EQ(state().n_up(1), 61);
    EXPECT_EQ(state().title_ln(1).str().substr(0, 9), "NACA 2412");

    std::vector<Form_inp::Editor> opened;
    Form_inp::setEditorOpener([&](Form_inp::Editor e) { opened.push_back(e); });
    state().mach(1) = 0.3f;
    state().k_alcl = 1;
    click("Cmd_Edit");
    EXPECT_EQ(usable(), (Names{"Cmd_Save", "Cmd_SaveAs", "Quit"})) << "after Geometry Edition";
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], Form_inp::Editor::UpperLower);
    const auto& s = state();
    EXPECT_FLOAT_EQ(s.mach(1), 0.7f);
    EXPECT_EQ(s.k_alcl, 0);
    EXPECT_FLOAT_EQ(s.alcl(1), 0.5f);
    EXPECT_EQ(s.flow, FlowSettings{});
    EXPECT_DOUBLE_EQ(s.flow.reynolds, 30e6);
    EXPECT_TRUE(s.flow.viscous);
    EXPECT_EQ(s.flow.level, 2);
    EXPECT_DOUBLE_EQ(s.flow.transition_upper, 0.0);

    // The editor closes: the lists come back, the editor choice stays fixed.
    m_form->enable_file_controls();
    EXPECT_EQ(usable(), (Names{"Drive1", "Dir1", "ComboFT", "File1", "Cmd_Save", "Cmd_SaveAs", "Quit"}));
    pick("a.b.ULF");
    click("InputF");
    click("Cmd_Edit");
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1], Form_inp::Editor::UpperLower);
}

TEST_F(StartWindow, TheSecondOptionOpensTheThicknessCamberEditor)
{
    std::vector<Form_inp::Editor> opened;
    Form_inp::setEditorOpener([&](Form_inp::Editor e) { opened.push_back(e); });
    openData();
    pick("wing1.ULF");
    click("InputF");
    click("Opt_UL_TC(1)");
    click("Cmd_Edit");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], Form_inp::Editor::ThicknessCamber);
}

TEST_F(StartWindow, ClickingAFileDerivesTheOutputNames)
{
    struct {
        const char* file;
        bool allFiles;
        const char* gwo;
        const char* cpo;
    } cases[] = {{"wing1.ULF", false, "wing1.gwo", "wing1.cpo"},
                 {"a.b.ULF", false, "a.gwo", "a.cpo"},
                 {"noext", true, "gwo", "cpo"}};
    openData();
    for (const auto& c : cases) {
        control<QComboBox>("ComboFT")->setCurrentIndex(c.allFiles ? 1 : 0);
        const auto found = files()->findItems(c.file, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << c.file;
        // A real mouse click on the list entry.
        QTest::mouseClick(files()->viewport(), Qt::LeftButton, {}, files()->visualItemRect(found[0]).center());
        const auto& s = state();
        EXPECT_EQ(s.f_gwo, c.gwo);
        EXPECT_EQ(s.f_cpo, c.cpo);
        EXPECT_EQ(s.f_inp, (m_data / c.file).string());
        EXPECT_EQ(text("Finput"), c.file);
        EXPECT_EQ(text("Foutput"), c.gwo);
        EXPECT_EQ(text("WorkDir"), QString::fromStdString(m_data.string()));
    }
}

TEST_F(StartWindow, ThePatternListSwitchesWhatTheFileListShows)
{
    openData();
    const QStringList sections = {"a.b.ULF", "bad.ULF", "wing.ulf", "wing1.ULF"};
    EXPECT_EQ(listed(), sections);
    auto* combo = control<QComboBox>("ComboFT");
    combo->setCurrentIndex(1);
    EXPECT_EQ(listed(), (QStringList{"a.b.ULF", "bad.ULF", "noext", "notes.txt", "wing.ulf", "wing1.ULF"}));
    combo->setCurrentIndex(0);
    EXPECT_EQ(listed(), sections);
}

TEST_F(StartWindow, TheDirectoryListShowsTheWayDownAndOpensSubfolders)
{
    auto* list = dirs();
    const QString root = QDir::currentPath();
    QStringList shown;
    for (int i = 0; i < list->count(); ++i)
        shown << list->item(i)->text().trimmed();
    ASSERT_GE(shown.size(), 3);
    EXPECT_EQ(shown.front(), "/");
    EXPECT_TRUE(shown.contains(QDir(root).dirName()));
    EXPECT_EQ(shown.back(), "data") << "the subfolder follows the folders above";

    emit list->itemActivated(list->item(list->count() - 1));
    EXPECT_EQ(list->path(), QString::fromStdString(m_data.string()));
    EXPECT_EQ(files()->path(), list->path());
    EXPECT_TRUE(listed().contains("wing1.ULF"));
    EXPECT_EQ(list->item(list->count() - 1)->text().trimmed(), "sub");

    emit list->itemActivated(list->item(0));
    EXPECT_EQ(files()->path(), "/");
}

TEST_F(StartWindow, SaveWritesTheSectionIntoTheCurrentDirectory)
{
    openData();
    pick("wing1.ULF");
    click("InputF");
    click("Cmd_Save");
    if (const char* dir = std::getenv("CAMBER_SCREENSHOTS"))
        m_form->grab().save(QString(dir) + "/start_window.png");
    const fs::path written = m_dir.path() / "wing1.gwo";
    ASSERT_TRUE(fs::exists(written)) << "not in the current directory";
    EXPECT_FALSE(fs::exists(m_data / "wing1.gwo")) << "written beside the section file";
    const std::string content = slurp(written);
    EXPECT_EQ(content.substr(0, 9), "NACA 2412");
    EXPECT_NE(content.find("\r\n"), std::string::npos);
}

TEST_F(StartWindow, AFailedReadReportsAndKeepsTheButtonsAndTheSection)
{
    test::ErrorCollector errors;
    openData();
    pick("bad.ULF");
    click("InputF");
    ASSERT_EQ(errors.messages().size(), 1);
    EXPECT_TRUE(errors.messages()[0].contains("bad.ULF")) << errors.messages()[0].toStdString();
    EXPECT_FALSE(control("Cmd_wing")->isEnabled()) << "nothing has been read yet";

    pick("wing1.ULF");
    click("InputF");
    const SectionState before = state();
    const auto usableBefore = usable();
    pick("bad.ULF");
    click("InputF");
    EXPECT_EQ(errors.messages().size(), 2);
    EXPECT_EQ(usable(), usableBefore);
    EXPECT_EQ(state().x_c, before.x_c);
    EXPECT_EQ(state().title_ln, before.title_ln);
    EXPECT_EQ(state().n_up, before.n_up);
    // The names follow the file clicked, even though it could not be read.
    EXPECT_EQ(state().f_gwo, "bad.gwo");
}

TEST_F(StartWindow, ViewFoilShowsTheOneViewerAndQuitClosesEverything)
{
    openData();
    pick("wing1.ULF");
    click("InputF");
    click("Cmd_wing");
    Form_PW* viewer = ui::Windows::find<Form_PW>();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->isVisible());
    click("Cmd_wing");
    EXPECT_EQ(ui::Windows::find<Form_PW>(), viewer);

    click("Quit");
    test::processDeferred();
    EXPECT_EQ(ui::Windows::find<Form_PW>(), nullptr);
    EXPECT_FALSE(m_form->isVisible());
}

TEST_F(StartWindow, SaveAsWritesTheSectionInTheFormItsNameChooses)
{
    openData();
    pick("wing1.ULF");
    click("InputF");
    QString answer;
    Form_inp::setSaveAsChooser([&answer](QWidget*) { return answer; });
    test::ErrorCollector errors;
    const struct {
        const char* name;
        std::string lineEnd;
    } forms[] = {{"wing.dat", "\n"}, {"wing.ULF", "\r\n"}};
    for (const auto& f : forms) {
        answer = QString::fromStdString(m_dir.file(f.name));
        click("Cmd_SaveAs");
        const std::string content = slurp(m_dir.file(f.name));
        const std::string title = "NACA 2412";
        EXPECT_EQ(content.substr(0, title.size()), title) << f.name;
        const std::size_t end = content.find('\n') + 1;
        EXPECT_EQ(content.substr(end - f.lineEnd.size(), f.lineEnd.size()), f.lineEnd) << f.name;
    }
    EXPECT_TRUE(errors.messages().isEmpty());

    // A name without a known form is refused and nothing is written; a cancelled dialog writes nothing.
    answer = QString::fromStdString(m_dir.file("wing.txt"));
    click("Cmd_SaveAs");
    ASSERT_EQ(errors.messages().size(), 1);
    EXPECT_TRUE(errors.messages()[0].contains("wing.txt")) << errors.messages()[0].toStdString();
    EXPECT_FALSE(fs::exists(m_dir.file("wing.txt")));
    answer.clear();
    click("Cmd_SaveAs");
    EXPECT_EQ(errors.messages().size(), 1);
    Form_inp::setSaveAsChooser({});
}

TEST_F(StartWindow, OpenFileReadsASectionAsIfPickedAndRead)
{
    m_form->openFile(QString::fromStdString((m_data / "wing1.ULF").string()));
    EXPECT_EQ(QDir::currentPath().toStdString(), fs::canonical(m_data).string()) << "its folder is current";
    EXPECT_EQ(text("Finput"), "wing1.ULF");
    EXPECT_EQ(text("Foutput"), "wing1.gwo");
    EXPECT_EQ(files()->fileName(), "wing1.ULF");
    EXPECT_EQ(state().n_up(1), 61);
    for (const char* button : {"Cmd_wing", "Cmd_Edit", "Cmd_Save", "Cmd_SaveAs"})
        EXPECT_TRUE(control(button)->isEnabled()) << button;

    // A file the pattern hides is listed by showing all files.
    m_form->openFile(QString::fromStdString((m_data / "noext").string()));
    EXPECT_EQ(control<QComboBox>("ComboFT")->currentIndex(), 1);
    EXPECT_EQ(files()->fileName(), "noext");
}

TEST_F(StartWindow, OpenFileOfAMissingOrUnreadableFileLeavesTheWindowEmpty)
{
    const auto afterStart = usable();
    const struct {
        const char* file;
        const char* cause;
    } bad[] = {{"missing.ULF", "no such file"}, {"sub", "folder"}, {"bad.ULF", "line"}};
    for (const auto& b : bad) {
        const std::string path = (m_data / b.file).string();
        try {
            m_form->openFile(QString::fromStdString(path));
            ADD_FAILURE() << b.file << " was opened";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(b.cause), std::string::npos) << e.what();
        }
        EXPECT_EQ(state().n_sections, 0) << b.file;
        EXPECT_FALSE(control("Cmd_Edit")->isEnabled()) << b.file;
    }
    EXPECT_EQ(usable().count("Cmd_wing"), afterStart.count("Cmd_wing"));
}

} // namespace
