// SPDX-License-Identifier: MIT
#include "FileLists.h"

#include "FileNames.h"

#include <QApplication>
#include <QDir>
#include <QStyle>

namespace camber {

namespace {

constexpr int kPathRole = Qt::UserRole;

} // namespace

DirList::DirList(QWidget* parent) : QListWidget(parent)
{
    connect(this, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { setPath(item->data(kPathRole).toString()); });
}

void DirList::setPath(const QString& path)
{
    const QString clean = QDir::cleanPath(QDir(path).absolutePath());
    if (clean == m_path)
        return;
    m_path = clean;
    refill();
    emit changed();
}

void DirList::refill()
{
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    const QString indentStep = QStringLiteral("   ");

    QStringList chain;
    for (QDir d(m_path);; ) {
        chain.prepend(d.absolutePath());
        if (!d.cdUp())
            break;
    }
    QString indent;
    QListWidgetItem* current = nullptr;
    for (const QString& folder : chain) {
        const QString name = folder == QLatin1String("/") ? folder : QDir(folder).dirName();
        current = new QListWidgetItem(open, indent + name, this);
        current->setData(kPathRole, folder);
        indent += indentStep;
    }
    const QStringList subfolders =
        QDir(m_path).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& sub : subfolders) {
        auto* item = new QListWidgetItem(closed, indent + sub, this);
        item->setData(kPathRole, QDir(m_path).filePath(sub));
    }
    setCurrentItem(current);
}

FileList::FileList(QWidget* parent) : QListWidget(parent)
{
    // A mouse click on a new file changes the current row and then reports the click: one
    // click event for both. A click on the file already current only reports the click.
    connect(this, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row < 0)
            return;
        m_rowJustChanged = true;
        emit clicked();
    });
    connect(this, &QListWidget::itemClicked, this, [this] {
        if (!m_rowJustChanged)
            emit clicked();
        m_rowJustChanged = false;
    });
}

void FileList::setPath(const QString& path)
{
    m_path = QDir::cleanPath(QDir(path).absolutePath());
    refill();
}

void FileList::setPattern(const QString& pattern)
{
    m_pattern = pattern;
    refill();
}

QString FileList::fileName() const { return currentItem() ? currentItem()->text() : QString(); }

bool FileList::selectFile(const QString& name)
{
    const auto found = findItems(name, Qt::MatchExactly);
    if (found.isEmpty())
        return false;
    {
        const QSignalBlocker quiet(this);
        setCurrentItem(found.front());
    }
    emit clicked();
    return true;
}

void FileList::refill()
{
    // Refilling must not count as a click on a file.
    const QSignalBlocker quiet(this);
    clear();
    if (m_path.isEmpty())
        return;
    const std::string pattern = m_pattern.toStdString();
    for (const QString& name : QDir(m_path).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase)) {
        if (matches_pattern(name.toStdString(), pattern))
            addItem(name);
    }
}

} // namespace camber
