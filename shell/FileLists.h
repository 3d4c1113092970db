// SPDX-License-Identifier: MIT
#pragma once

#include <QListWidget>
#include <QString>

namespace camber {

/// The classic directory list: the folders from the root down to the current one (open, each
/// one step further indented) followed by the current folder's subfolders. Opening an entry
/// (double click or Enter) makes it the current folder and raises changed().
class DirList : public QListWidget {
    Q_OBJECT
public:
    explicit DirList(QWidget* parent = nullptr);
    /// The current folder, an absolute path with "/" separators.
    QString path() const { return m_path; }
    /// Lists path; raises changed() when the folder differs from the one listed.
    void setPath(const QString& path);

signals:
    void changed();

private:
    void refill();
    QString m_path;
};

/// The file list: the files of one folder whose names match the pattern, without regard to case.
class FileList : public QListWidget {
    Q_OBJECT
public:
    explicit FileList(QWidget* parent = nullptr);
    QString path() const { return m_path; }
    void setPath(const QString& path);
    QString pattern() const { return m_pattern; }
    void setPattern(const QString& pattern);
    /// The selected file name (without folder), empty when none is selected.
    QString fileName() const;
    /// Selects the named file as a click would; false when it is not listed.
    bool selectFile(const QString& name);

signals:
    /// A file was clicked or selected with the keyboard.
    void clicked();

private:
    void refill();
    QString m_path;
    QString m_pattern = QStringLiteral("*.*");
    bool m_rowJustChanged = false;
};

} // namespace camber
