// SPDX-License-Identifier: MIT
// Camber: opens the start-up window; everything else happens in its event handlers.
#include "shell/Form_inp.h"
#include "shell/Program.h"
#include "ui/Windows.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Camber");
    camber::connect_windows();
    camber::ui::Windows::get<camber::Form_inp>().show();
    return QApplication::exec();
}
