// SPDX-License-Identifier: MIT
#include "Form_inp.h"

#include "FileLists.h"
#include "FileNames.h"
#include "SectionExport.h"
#include "SectionReader.h"
#include "geometry/FlowSettings.h"
#include "geometry/GwoWriter.h"
#include "ui/Captions.h"
#include "ui/Controls.h"
#include "ui/Guarded.h"
#include "ui/Windows.h"
#include "viewer/Form_PW.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

namespace camber {

namespace {

Form_inp::EditorOpener& editorOpener()
{
    static Form_inp::EditorOpener opener;
    return opener;
}

Form_inp::SaveAsChooser& saveAsChooser()
{
    static Form_inp::SaveAsChooser chooser;
    return chooser;
}

// The standard file dialog; a name typed without an extension takes the chosen filter's.
QString saveAsDialog(QWidget* parent)
{
    const QString selig = QStringLiteral("Selig coordinate files (*.dat)");
    const QString section = QStringLiteral("Section files (*.ULF)");
    QString filter = selig;
    const QString suggested = QFileInfo(QString::fromStdString(state().f_inp)).completeBaseName() + ".dat";
    QString name = QFileDialog::getSaveFileName(parent, QStringLiteral("Save Section As"), suggested,
                                                selig + ";;" + section, &filter);
    if (!name.isEmpty() && QFileInfo(name).suffix().isEmpty())
        name += filter == section ? QStringLiteral(".ULF") : QStringLiteral(".dat");
    return name;
}

QStringList userDrives()
{
    QFile mounts("/proc/mounts");
    std::vector<std::string> all;
    if (mounts.open(QIODevice::ReadOnly))
        all = user_mounts(mounts.readAll().toStdString());
    if (all.empty())
        all.push_back("/");
    QStringList drives;
    for (const auto& m : all) {
        // Containers bind single files (/etc/hosts) from a device; only folders are drives.
        const QString path = QString::fromStdString(m);
        if (QFileInfo(path).isDir())
            drives << path;
    }
    return drives;
}

std::vector<std::string> itemTexts(const QComboBox* list)
{
    std::vector<std::string> out;
    for (int i = 0; i < list->count(); ++i)
        out.push_back(list->itemText(i).toStdString());
    return out;
}

std::vector<std::string> toStd(const QStringList& list)
{
    std::vector<std::string> out;
    for (const QString& s : list)
        out.push_back(s.toStdString());
    return out;
}

} // namespace

void Form_inp::setEditorOpener(EditorOpener opener) { editorOpener() = std::move(opener); }

void Form_inp::setSaveAsChooser(SaveAsChooser chooser) { saveAsChooser() = std::move(chooser); }

Form_inp::Form_inp()
{
    using namespace ui;
    setWindowTitle("Input File");
    setFont(designFont());
    // One row below the designed area holds "Save As...".
    setClientSize(this, 3705, 4695);
    setFixedSize(size());

    Drive1 = makeDropDown(this, "Drive1", {120, 120, 1455, 315});
    Dir1 = new DirList(this);
    Dir1->setObjectName("Dir1");
    place(Dir1, {120, 480, 1455, 1890});
    ComboFT = makeDropDown(this, "ComboFT", {1800, 120, 1815, 315});
    File1 = new FileList(this);
    File1->setObjectName("File1");
    place(File1, {1800, 480, 1815, 1845});
    makeLabel(this, "FileInput", "Input File", {120, 2520, 735, 255});
    Finput = makeTextBox(this, "Finput", "*.ULF", {1440, 2520, 2172, 285});
    makeLabel(this, "FileOutput", "Output File", {120, 2880, 855, 255});
    Foutput = makeTextBox(this, "Foutput", "*.gwo", {1440, 2880, 2172, 285});
    WorkDir = makeTextBox(this, "WorkDir", "Working directory", {120, 3240, 3492, 285});
    InputF = makeButton(this, "InputF", "&Input", {120, 3600, 855, 255});
    Cmd_wing = makeButton(this, "Cmd_wing", "View Foil", {120, 3960, 855, 255});
    Opt_UL_TC[0] = makeOption(this, indexedName("Opt_UL_TC", 0), "UL", {1200, 3600, 615, 255});
    Opt_UL_TC[1] = makeOption(this, indexedName("Opt_UL_TC", 1), "TC", {1200, 3960, 615, 255});
    Cmd_Edit = makeButton(this, "Cmd_Edit", "Geometry Edition", {2040, 3600, 855, 615});
    Cmd_Save = makeButton(this, "Cmd_Save", "Save", {3000, 3600, 615, 255});
    QPushButton* quit = makeButton(this, "Quit", "&Quit", {3000, 3960, 615, 255});
    Cmd_SaveAs = makeButton(this, "Cmd_SaveAs", "Save As...", {2040, 4320, 1575, 255});

    Opt_UL_TC[0]->setChecked(true);
    InputF->setEnabled(false);
    Cmd_wing->setEnabled(false);
    Cmd_Edit->setEnabled(false);
    Cmd_Save->setEnabled(false);
    Cmd_SaveAs->setEnabled(false);

    // Load: the pattern list, then the lists on the current drive and directory.
    ComboFT->addItem("Input Files (*.ULF)");
    ComboFT->addItem("All Files (*.*)");
    File1->setPattern("*.ULF");
    const QStringList drives = userDrives();
    Drive1->addItems(drives);
    const QString cwd = QDir::currentPath();
    Drive1->setCurrentText(QString::fromStdString(mount_of(cwd.toStdString(), toStd(drives))));
    Dir1->setPath(cwd);
    File1->setPath(cwd);
    ui::fitCaptions(this);

    connect(Drive1, &QComboBox::currentIndexChanged, this, [this] { ui::guarded(this, [this] { Drive1_Change(); }); });
    connect(Dir1, &DirList::changed, this, [this] { ui::guarded(this, [this] { Dir1_Change(); }); });
    connect(ComboFT, &QComboBox::currentIndexChanged, this, [this] { ui::guarded(this, [this] { ComboFT_Click(); }); });
    connect(File1, &FileList::clicked, this, [this] { ui::guarded(this, [this] { File1_Click(); }); });
    connect(InputF, &QPushButton::clicked, this, [this] { ui::guarded(this, [this] { InputF_Click(); }); });
    connect(Cmd_wing, &QPushButton::clicked, this, [this] { ui::guarded(this, [this] { Cmd_wing_Click(); }); });
    connect(Cmd_Edit, &QPushButton::clicked, this, [this] { ui::guarded(this, [this] { Cmd_Edit_Click(); }); });
    connect(Cmd_Save, &QPushButton::clicked, this, [this] { ui::guarded(this, [this] { Cmd_Save_Click(); }); });
    connect(Cmd_SaveAs, &QPushButton::clicked, this, [this] { ui::guarded(this, [this] { Cmd_SaveAs_Click(); }); });
    connect(quit, &QPushButton::clicked, this, [this] { Quit_Click(); });
}

void Form_inp::Drive1_Change()
{
    // A drive's current directory is the process's one when that lies on the drive, else its root.
    const QString drive = Drive1->currentText();
    if (QString::fromStdString(mount_of(QDir::currentPath().toStdString(), itemTexts(Drive1))) != drive
        && !QDir::setCurrent(drive))
        throw Error("cannot make " + drive.toStdString() + " the current drive");
    Dir1->setPath(QDir::currentPath());
}

void Form_inp::Dir1_Change() { File1->setPath(Dir1->path()); }

void Form_inp::ComboFT_Click() { File1->setPattern(ComboFT->currentIndex() == 1 ? "*.*" : "*.ULF"); }

void Form_inp::File1_Click()
{
    const QString name = File1->fileName();
    if (name.isEmpty())
        return;
    SectionState& s = state();
    s.f_inp = name.toStdString();
    Finput->setText(name);
    Finput->setCursorPosition(0);
    derive_output_names(s.f_inp, s.f_gwo, s.f_cpo);
    Foutput->setText(QString::fromStdString(s.f_gwo));
    InputF->setEnabled(true);
    s.f_inp = join_folder(File1->path().toStdString(), s.f_inp);
    WorkDir->setText(File1->path());
    WorkDir->setCursorPosition(0);
}

void Form_inp::InputF_Click()
{
    read_section(state());
    Cmd_wing->setEnabled(true);
    Cmd_Edit->setEnabled(true);
    Cmd_Save->setEnabled(true);
    Cmd_SaveAs->setEnabled(true);
}

void Form_inp::openFile(const QString& path)
{
    const QFileInfo file(path);
    if (!file.isFile())
        throw Error(path.toStdString() + ": cannot open the file ("
                    + (file.exists() ? "it is a folder" : "no such file") + ")");
    const QString folder = file.absolutePath();
    if (!QDir::setCurrent(folder))
        throw Error(path.toStdString() + ": cannot make its folder the current one");
    {
        // The drive list follows the folder without making its root current.
        const QSignalBlocker quiet(Drive1);
        Drive1->setCurrentText(QString::fromStdString(mount_of(folder.toStdString(), itemTexts(Drive1))));
    }
    Dir1->setPath(folder);
    if (!matches_pattern(file.fileName().toStdString(), File1->pattern().toStdString()))
        ComboFT->setCurrentIndex(1);
    if (!File1->selectFile(file.fileName()))
        throw Error(path.toStdString() + ": cannot open the file (not listed in its folder)");
    InputF_Click();
}

void Form_inp::Cmd_wing_Click()
{
    Form_PW& viewer = ui::Windows::get<Form_PW>();
    viewer.show();
    viewer.raise();
    viewer.activateWindow();
}

void Form_inp::Cmd_Edit_Click()
{
    SectionState& s = state();
    s.mach(1) = kEditingMach;
    s.k_alcl = 0;
    s.alcl(1) = kEditingLift;
    s.flow = FlowSettings{};

    if (editorOpener())
        editorOpener()(Opt_UL_TC[0]->isChecked() ? Editor::UpperLower : Editor::ThicknessCamber);

    for (QWidget* w : std::initializer_list<QWidget*>{InputF, Cmd_wing, Cmd_Edit, Opt_UL_TC[0], Opt_UL_TC[1], Drive1,
                                                      ComboFT, Dir1, File1})
        w->setEnabled(false);
}

void Form_inp::enable_file_controls()
{
    for (QWidget* w : std::initializer_list<QWidget*>{Drive1, ComboFT, Dir1, File1})
        w->setEnabled(true);
}

void Form_inp::Cmd_Save_Click() { save_gwo(state()); }

void Form_inp::Cmd_SaveAs_Click()
{
    const QString name = saveAsChooser() ? saveAsChooser()(this) : saveAsDialog(this);
    if (!name.isEmpty())
        export_section(state(), name.toStdString());
}

void Form_inp::Quit_Click()
{
    // The program ends when its last window has closed.
    ui::Windows::closeAll();
    close();
}

void Form_inp::closeEvent(QCloseEvent* event)
{
    // Closing the start-up window ends the program like Quit.
    QWidget::closeEvent(event);
    ui::Windows::closeAll();
}

} // namespace camber
