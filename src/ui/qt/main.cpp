#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QMessageBox>
#include <QPixmap>
#include <QTimer>

#include <CLI/CLI.hpp>

#include <exception>
#include <iostream>
#include <string>

#include "ui/qt/appearance.h"
#include "ui/qt/engrave_form.h"

int main(int argc, char** argv) {
  CLI::App cli("Stylor: engrave text on CNC machines with stroke fonts.", "stylor");
  cli.set_version_flag("--version", "Stylor " STYLOR_VERSION);
  // Qt's own options (-platform, -style, ...) pass through to QApplication.
  cli.allow_extras();
  std::string screenshot;
  cli.add_option("--screenshot", screenshot,
                 "Save a PNG picture of the window after start-up to this file, then exit")
      ->type_name("FILE");
  try {
    cli.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return cli.exit(error);
  }

  QApplication app(argc, argv);
  QApplication::setOrganizationName("Stylor");
  QApplication::setApplicationName("Stylor");
  QApplication::setApplicationDisplayName("Stylor");
  QApplication::setApplicationVersion(STYLOR_VERSION);
  QGuiApplication::setDesktopFileName("org.stylor.Stylor");
  QApplication::setWindowIcon(QIcon(":/stylor.png"));
  stylor::ApplyAppearance(app);

  try {
    stylor::TEngraveForm EngraveForm;
    EngraveForm.PlaceOnScreen();
    EngraveForm.show();
    // The window manager frames the window a moment after it shows.
    QTimer::singleShot(500, &EngraveForm, [&] { EngraveForm.KeepFrameOnScreen(); });
    int status = 0;
    QTimer::singleShot(0, &EngraveForm, [&] {
      EngraveForm.Start(QDir::currentPath());
      if (screenshot.empty()) {
        EngraveForm.OfferFirstSetup();
        return;
      }
      // Let the window paint once after start-up before it is grabbed.
      QTimer::singleShot(300, &EngraveForm, [&] {
        if (!EngraveForm.grab().save(QString::fromStdString(screenshot), "PNG")) {
          std::cerr << "Stylor: cannot write the picture " << screenshot << "\n";
          status = 1;
        }
        QApplication::exit(status);
      });
    });
    const int loop = QApplication::exec();
    return status != 0 ? status : loop;
  } catch (const std::exception& error) {
    QMessageBox::critical(nullptr, "Stylor", QString::fromStdString(error.what()));
    return 1;
  }
}
