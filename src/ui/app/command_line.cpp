#include "ui/app/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

namespace {

// Options that QGuiApplication and QApplication take out of the arguments themselves.
constexpr const char* kQtValueOptions[] = {
    "platform",    "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
    "qwindowicon", "qwindowtitle",       "session",       "style",  "stylesheet",
    "display",     "geometry",           "qmljsdebugger"};
constexpr const char* kQtFlagOptions[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

void SetUp(QCommandLineParser& parser) {
  // Qt's options are single-dash words (-platform offscreen), not bundles of letters.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.setApplicationDescription(
      QCoreApplication::translate("EditorCommandLine", "Kandrel: редактор базы конфигурации"));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addOption(QCommandLineOption(
      QStringLiteral("merge"),
      QCoreApplication::translate("EditorCommandLine",
                                  "Слить OURS и THEIRS над общей базой BASE и открыть результат с "
                                  "конфликтами; сохранение пишет OUT (как merge tool для git)"),
      QStringLiteral("BASE OURS THEIRS")));
  parser.addOption(QCommandLineOption(
      QStringLiteral("o"),
      QCoreApplication::translate("EditorCommandLine", "Файл результата слияния"),
      QStringLiteral("OUT")));
  parser.addOption(QCommandLineOption(
      QStringLiteral("connect"),
      QCoreApplication::translate("EditorCommandLine",
                                  "Подключиться к серверу после открытия документа"),
      QStringLiteral("host:port")));
  parser.addOption(QCommandLineOption(
      QStringLiteral("monitor-only"),
      QCoreApplication::translate("EditorCommandLine",
                                  "Подключиться в режиме «Только наблюдение»: ничего не "
                                  "отправлять на сервер")));
  parser.addPositionalArgument(QStringLiteral("file"),
                               QCoreApplication::translate("EditorCommandLine", "Документ .kdl"),
                               QStringLiteral("[file]"));
  for (const char* name : kQtValueOptions) {
    QCommandLineOption option(QString::fromLatin1(name));
    option.setValueName(QStringLiteral("value"));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }
  for (const char* name : kQtFlagOptions) {
    QCommandLineOption option(QString::fromLatin1(name));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }
}

QString TooManyFiles() {
  return QCoreApplication::translate("EditorCommandLine", "Можно открыть только один документ.");
}

// "HOST:PORT" with a port from 1 to 65535.
bool ReadHostPort(const QString& text, QString* host, int* port) {
  int colon = text.lastIndexOf(QLatin1Char(':'));
  if (colon <= 0) return false;
  bool ok = false;
  int n = text.mid(colon + 1).toInt(&ok);
  if (!ok || n < 1 || n > 65535) return false;
  *host = text.left(colon);
  *port = n;
  return true;
}

QString MergeUsage() {
  return QCoreApplication::translate("EditorCommandLine",
                                     "Слияние задаётся так: --merge BASE OURS THEIRS -o OUT.");
}

// The cause a parsed command line cannot run, empty when it can. With --merge the two
// positional arguments are OURS and THEIRS, and -o names the result.
QString Problem(const QCommandLineParser& parser) {
  QString host;
  int port = 0;
  if (parser.isSet(QStringLiteral("connect")) &&
      !ReadHostPort(parser.value(QStringLiteral("connect")), &host, &port))
    return QCoreApplication::translate("EditorCommandLine",
                                       "--connect ждёт адрес и порт сервера: HOST:PORT");
  const bool merging = parser.isSet(QStringLiteral("merge"));
  if (merging != parser.isSet(QStringLiteral("o"))) return MergeUsage();
  if (merging) return parser.positionalArguments().size() == 2 ? QString() : MergeUsage();
  return parser.positionalArguments().size() > 1 ? TooManyFiles() : QString();
}

}  // namespace

EditorCommandLine ParseEditorCommandLine(const QStringList& arguments) {
  QCommandLineParser parser;
  SetUp(parser);
  EditorCommandLine result;
  if (!parser.parse(arguments) || !Problem(parser).isEmpty()) {
    result.action = EditorCommandLine::Action::Error;
  } else if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
    result.action = EditorCommandLine::Action::Help;
  } else if (parser.isSet(QStringLiteral("version"))) {
    result.action = EditorCommandLine::Action::Version;
  } else if (parser.isSet(QStringLiteral("merge"))) {
    result.mergeBase = parser.value(QStringLiteral("merge"));
    result.mergeOurs = parser.positionalArguments()[0];
    result.mergeTheirs = parser.positionalArguments()[1];
    result.mergeOut = parser.value(QStringLiteral("o"));
  } else if (!parser.positionalArguments().isEmpty()) {
    result.file = parser.positionalArguments().first();
  }
  if (result.action == EditorCommandLine::Action::Run && parser.isSet(QStringLiteral("connect"))) {
    ReadHostPort(parser.value(QStringLiteral("connect")), &result.connectHost, &result.connectPort);
    result.monitorOnly = parser.isSet(QStringLiteral("monitor-only"));
  }
  return result;
}

int ReportEditorCommandLine(const QStringList& arguments) {
  QCommandLineParser parser;
  SetUp(parser);
  const bool parsed = parser.parse(arguments);
  if (!parsed || !Problem(parser).isEmpty()) {
    const QString program = arguments.isEmpty() ? QStringLiteral("kandrel") : arguments.first();
    const QString cause = parsed ? Problem(parser) : parser.errorText();
    std::fprintf(
        stderr, "%s: %s\n%s\n", qPrintable(program), qPrintable(cause),
        qPrintable(
            QCoreApplication::translate("EditorCommandLine", "Подробнее: %1 --help").arg(program)));
    return 2;
  }
  if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
    std::fputs(qPrintable(parser.helpText()), stdout);
    return 0;
  }
  std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
              qPrintable(QCoreApplication::applicationVersion()));
  return 0;
}
