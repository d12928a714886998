#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QMessageBox>
#include <QPixmap>
#include <QTimer>

#include <exception>
#include <iostream>
#include <string>
#include <string_view>

#include "ui/qt/appearance.h"
#include "ui/qt/engrave_form.h"

namespace {

struct WindowOptions {
  std::string screenshot;
  QString machineFile;  // opened after start-up, as File > Open Machine does
};

/// The window's own options; QApplication has taken its own (-platform, -style, ...) by then.
/// --help and --version print and end the program here.
WindowOptions ReadOptions(const QCoreApplication& app) {
  QCommandLineParser parser;
  parser.setApplicationDescription("Stylor: engrave text on CNC machines with stroke fonts.");
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption screenshot(
      "screenshot", "Save a PNG picture of the window after start-up to FILE, then exit.", "FILE");
  parser.addOption(screenshot);
  parser.addPositionalArgument("FILE.mch", "A machine file to open after start-up.",
                               "[FILE.mch]");
  parser.process(app);
  const QStringList files = parser.positionalArguments();
  return {parser.value(screenshot).toStdString(), files.isEmpty() ? QString() : files.first()};
}

void NameTheApplication() {
  QCoreApplication::setOrganizationName("Stylor");
  QCoreApplication::setApplicationName("Stylor");
  QCoreApplication::setApplicationVersion(STYLOR_VERSION);
}

// --help and --version are answered without a window, so they work where no display is.
bool AsksOnlyForText(int argc, char** argv) {
  for (int arg = 1; arg < argc; ++arg) {
    const std::string_view option = argv[arg];
    if (option == "--help" || option == "-h" || option == "--version" || option == "-v") {
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (AsksOnlyForText(argc, argv)) {
    QCoreApplication core(argc, argv);
    NameTheApplication();
    ReadOptions(core);  // prints and ends the program
    return 0;
  }
  QApplication app(argc, argv);
  NameTheApplication();
  QApplication::setApplicationDisplayName("Stylor");
  const WindowOptions options = ReadOptions(app);
  const std::string& screenshot = options.screenshot;
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
      if (!options.machineFile.isEmpty()) {
        const std::string path =
            QFile::encodeName(QFileInfo(options.machineFile).absoluteFilePath()).toStdString();
        EngraveForm.Model().Run([&] { EngraveForm.Model().OpenMachineFile(path); });
      }
      if (screenshot.empty()) {
        // A machine file named on the command line is the set-up: no first set-up is offered.
        if (!options.machineFile.isEmpty()) return;
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
