#include "ui/dialogs/html_about.h"

#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QVBoxLayout>

#ifndef KANDREL_VERSION
#define KANDREL_VERSION ""
#endif

namespace {

const char kCopyright[] = "© 2024–2026 Kandrel Project";
const char kSite[] = "https://kandrel.example.org";
const char kEmail[] = "support@kandrel.example.org";

// Replaces the whole element with the given id (its outer HTML).
QString ReplaceElement(const QString& page, const QString& id, const QString& html) {
  QRegularExpression element(
      QStringLiteral("<(\\w+)[^>]*\\bid=\"%1\"[^>]*>.*?</\\1>").arg(QRegularExpression::escape(id)),
      QRegularExpression::DotMatchesEverythingOption);
  QRegularExpressionMatch m = element.match(page);
  if (!m.hasMatch()) return page;
  QString out = page;
  out.replace(m.capturedStart(), m.capturedLength(), html);
  return out;
}

}  // namespace

QString CHTMLAbout::ProductVersion() {
  return QStringLiteral(KANDREL_VERSION);
}

QString CHTMLAbout::FillPage(const QString& page, const QString& productVersion) {
  QString out = page;
  out = ReplaceElement(out, QStringLiteral("Version"),
                       tr("<a> Kandrel версия %1</a>").arg(productVersion.toHtmlEscaped()));
  out = ReplaceElement(out, QStringLiteral("Copyright"),
                       QStringLiteral("<a>%1</a>").arg(QString::fromUtf8(kCopyright)));
  out = ReplaceElement(
      out, QStringLiteral("Site"),
      tr("<a>Наш адрес в интернете <a href=\"\">%1</a></a>").arg(QString::fromUtf8(kSite)));
  out = ReplaceElement(out, QStringLiteral("Email"),
                       tr("<a>тех. поддержка : %1 </a>").arg(QString::fromUtf8(kEmail)));
  return out;
}

CHTMLAbout::CHTMLAbout(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("CHTMLAbout"));
  setWindowTitle(tr("О программе ..."));
  setStyleSheet(QStringLiteral("QDialog#CHTMLAbout { background: royalblue; }"));

  browser_ = new QTextBrowser(this);
  browser_->setObjectName(QStringLiteral("aboutPage"));
  browser_->setFrameShape(QFrame::NoFrame);
  browser_->setOpenLinks(false);
  browser_->setStyleSheet(QStringLiteral("QTextBrowser { background: royalblue; color: white; }"));
  QFile page(QStringLiteral(":/kandrel/about.html"));
  page.open(QIODevice::ReadOnly);
  browser_->setHtml(FillPage(QString::fromUtf8(page.readAll()), ProductVersion()));

  auto* ok = new QPushButton(tr("OK"), this);
  ok->setObjectName(QStringLiteral("ButtonOK"));
  ok->setFixedWidth(75);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(browser_, 4);
  layout->addWidget(ok, 1, Qt::AlignHCenter | Qt::AlignBottom);
  resize(480, 300);
  setMinimumSize(480, 280);
}
