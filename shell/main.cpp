// SPDX-License-Identifier: MIT
// Camber: opens the start-up window, with the section file of the command line read;
// everything else happens in the windows' event handlers.
#include "shell/CommandLine.h"
#include "shell/Form_inp.h"
#include "shell/Program.h"
#include "ui/Guarded.h"
#include "ui/Windows.h"

#include <QApplication>
#include <QTimer>

#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr int kExitUsage = 2;

std::vector<std::string> arguments(const QStringList& list)
{
    std::vector<std::string> out;
    for (qsizetype i = 1; i < list.size(); ++i)
        out.push_back(list[i].toStdString());
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    // Help and version need no display, so they are answered before the windowing starts.
    const auto early = camber::parse_command_line(std::vector<std::string>(argv + 1, argv + argc));
    if (early.action == camber::CommandLine::Action::Help) {
        std::cout << camber::help_text();
        return 0;
    }
    if (early.action == camber::CommandLine::Action::Version) {
        std::cout << camber::version_text();
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("Camber");
    QApplication::setApplicationVersion(CAMBER_VERSION);
    // Qt has taken its own options (-platform, -style) out of the arguments by now.
    const auto line = camber::parse_command_line(arguments(QApplication::arguments()));
    if (line.action != camber::CommandLine::Action::Run) {
        std::cerr << "camber: " << line.message << "\n" << camber::help_text();
        return kExitUsage;
    }
    camber::connect_windows();
    auto& start = camber::ui::Windows::get<camber::Form_inp>();
    start.show();
    if (!line.file.empty()) {
        const QString file = QString::fromStdString(line.file);
        QTimer::singleShot(0, &start, [&start, file] { camber::ui::guarded(&start, [&] { start.openFile(file); }); });
    }
    return QApplication::exec();
}
