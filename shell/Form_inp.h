// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

#include <functional>

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace camber {

class DirList;
class FileList;

/// The start-up window: picks the section file with the drive, directory and file lists,
/// derives the output file names from it, reads it, opens the viewer and an editor, writes the
/// .gwo file and quits the program.
class Form_inp : public QWidget {
    Q_OBJECT
public:
    /// The editor Geometry Edition works on.
    enum class Editor { UpperLower, ThicknessCamber };
    /// Fills the chosen editor's flow fields, initialises its control points and move boxes and
    /// shows it; creating the editor window when it does not exist yet.
    using EditorOpener = std::function<void(Editor)>;

    /// Registers the routine Geometry Edition uses to open an editor; the editor windows
    /// register it when the program starts. Without one, Geometry Edition opens nothing.
    static void setEditorOpener(EditorOpener opener);

    /// Asks the user where "Save As..." writes the section: a file name, or empty when the
    /// user changed their mind. The default is the standard file dialog.
    using SaveAsChooser = std::function<QString(QWidget* parent)>;
    /// Replaces the file dialog of "Save As..." (tests answer it themselves); an empty chooser
    /// restores the dialog.
    static void setSaveAsChooser(SaveAsChooser chooser);

    /// Loads the window (hidden) on the process's current directory.
    Form_inp();

    /// Makes the drive, pattern, directory and file lists usable again; an editor calls it
    /// when it closes.
    void enable_file_controls();

    /// Opens a section file as if the user had picked it in the lists and pressed Input: its
    /// folder becomes the current one and the lists show it, the output names follow it, the
    /// section is read and the buttons that need one are enabled. Throws Error naming the file
    /// when it does not exist or cannot be read; the window then holds no section.
    void openFile(const QString& path);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Drive1_Change();
    void Dir1_Change();
    void ComboFT_Click();
    void File1_Click();
    void InputF_Click();
    void Cmd_wing_Click();
    void Cmd_Edit_Click();
    void Cmd_Save_Click();
    void Cmd_SaveAs_Click();
    void Quit_Click();

    QComboBox* Drive1 = nullptr;
    DirList* Dir1 = nullptr;
    QComboBox* ComboFT = nullptr;
    FileList* File1 = nullptr;
    QLineEdit* Finput = nullptr;
    QLineEdit* Foutput = nullptr;
    QLineEdit* WorkDir = nullptr;
    QPushButton* InputF = nullptr;
    QPushButton* Cmd_wing = nullptr;
    QRadioButton* Opt_UL_TC[2] = {nullptr, nullptr};
    QPushButton* Cmd_Edit = nullptr;
    QPushButton* Cmd_Save = nullptr;
    QPushButton* Cmd_SaveAs = nullptr;
};

} // namespace camber
