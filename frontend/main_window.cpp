#include "frontend/main_window.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSettings>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <memory>

#include "frontend/workbook_conversion.h"

namespace veltrasom {

namespace {

// Positions and sizes are laid out in twips: 15 to a pixel at 96 dpi.
constexpr double kTwipsPerPixel = 15.0;

const QColor kLightYellow(0xFF, 0xFF, 0xC0);
const QColor kPink(0xFF, 0xC0, 0xCB);
const QColor kBlue(0x00, 0x00, 0xFF);
const QColor kDarkBlue(0x00, 0x00, 0x80);

// The five status classes, high to bad, in their customary colours.
const QColor kClassColours[5] = {QColor(0x1F, 0x5F, 0xD0), QColor(0x2E, 0xA0, 0x3C),
                                 QColor(0xF2, 0xD0, 0x24), QColor(0xF0, 0x8A, 0x1C),
                                 QColor(0xD8, 0x26, 0x26)};

struct FileRow {
  const char* label;
  const char* caption;
  int top;
};
// The working directory, then the seven files.
const FileRow kRows[8] = {
    {"Label10", "Default Working Directory:", 2040},
    {"Label1", "Metric Specification File:", 2760},
    {"Label2", "Observed Metric values File:", 3480},
    {"Label3", "Metric standardisation EZERO (E0) File:", 4200},
    {"Label4", "Metric standardisation EONE (E1) File:", 4920},
    {"Label5", "Metric sampling Correlation File:", 5640},
    {"Label6", "Results output File:", 6360},
    {"Label7", "Log output File:", 7080},
};

struct FileDialogSpec {
  const char* title;
  bool save;
  bool log;            // the log filter instead of the workbook filter
  const char* suffix;  // default extension, or empty
};
// The dialogs of the Edit buttons of rows 1 to 7.
const FileDialogSpec kDialogs[7] = {
    {"Select the Metric Specification File:", false, false, "csv"},
    {"Select the Observed Metric values File:", false, false, ""},
    {"Select the Metric standardisation Expected minimum File", false, false, ""},
    {"Select the Metric standardisation Expected Maximum File:", false, false, ""},
    {"Select the Metric sampling Correlation File:", false, false, ""},
    {"Select the File to hold the Results Output:", true, false, ""},
    {"Select the Log output File:", true, true, ""},
};

QString* nameOfRow(RunNames& n, int row) {
  switch (row) {
    case 1: return &n.metspec;
    case 2: return &n.obs;
    case 3: return &n.ezero;
    case 4: return &n.eone;
    case 5: return &n.corr;
    case 6: return &n.out;
    case 7: return &n.log;
  }
  return &n.dir;
}

// The samples named by the header line of the observed values file; 0 when
// it cannot be read.  Only for showing the progress.
int headerSamples(const QString& csv) {
  QFile f(csv);
  if (!f.open(QIODevice::ReadOnly)) return 0;
  QByteArray line = f.readLine();
  while (line.endsWith('\n') || line.endsWith('\r')) line.chop(1);
  QList<QByteArray> fields = line.split(',');
  fields.removeFirst();
  while (!fields.isEmpty() && fields.last().trimmed().isEmpty()) fields.removeLast();
  return static_cast<int>(fields.size());
}

std::unique_ptr<QSettings> openSettings(const QString& file) {
  if (file.isEmpty())
    return std::make_unique<QSettings>(QStringLiteral("veltrasom"), QStringLiteral("veltrasom"));
  return std::make_unique<QSettings>(file, QSettings::IniFormat);
}

// The two pictures beside the title: a river running through the five
// status classes, and a round badge of the classes crossed by a wave.
class Emblem : public QWidget {
 public:
  enum class Kind { Banner, Badge };
  Emblem(Kind kind, QWidget* parent) : QWidget(parent), kind_(kind) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
    if (kind_ == Kind::Banner) {
      const double w = r.width() / 5;
      for (int c = 0; c < 5; ++c) {
        QColor colour = kClassColours[c];
        colour.setAlpha(90);
        p.fillRect(QRectF(r.left() + c * w, r.top(), w + 0.5, r.height()), colour);
      }
      QPainterPath river;
      river.moveTo(r.left(), r.center().y());
      for (int i = 0; i < 4; ++i) {
        const double x0 = r.left() + i * r.width() / 4;
        const double dx = r.width() / 4;
        river.cubicTo(x0 + dx / 3, r.top() + 4, x0 + 2 * dx / 3, r.bottom() - 4, x0 + dx,
                      r.center().y());
      }
      p.setPen(QPen(kBlue, r.height() / 5, Qt::SolidLine, Qt::RoundCap));
      p.drawPath(river);
      p.setPen(QPen(kDarkBlue, 1));
      p.setBrush(Qt::NoBrush);
      p.drawRect(r);
    } else {
      const double side = qMin(r.width(), r.height());
      const QRectF disc(r.center().x() - side / 2, r.center().y() - side / 2, side, side);
      p.setPen(Qt::NoPen);
      for (int c = 0; c < 5; ++c) {
        p.setBrush(kClassColours[c]);
        p.drawPie(disc, (90 - c * 72) * 16, -72 * 16);
      }
      QPainterPath wave;
      wave.moveTo(disc.left() + side * 0.12, disc.center().y());
      wave.cubicTo(disc.left() + side * 0.35, disc.top() + side * 0.3, disc.left() + side * 0.65,
                   disc.bottom() - side * 0.3, disc.right() - side * 0.12, disc.center().y());
      p.setPen(QPen(Qt::white, side / 10, Qt::SolidLine, Qt::RoundCap));
      p.drawPath(wave);
      p.setPen(QPen(kDarkBlue, 1.5));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(disc);
    }
  }

 private:
  Kind kind_;
};

// A straight line from one corner of its rectangle to the other.
class Pointer : public QWidget {
 public:
  Pointer(QPointF from, QPointF to, QWidget* parent) : QWidget(parent), from_(from), to_(to) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::red, 2));
    p.drawLine(from_, to_);
  }

 private:
  QPointF from_, to_;
};

// The largest font, at most `font`'s size, in which `text` fits `box`
// wrapped at word boundaries: fonts wider than the ones the layout was drawn
// for must not cut captions off.
QFont fitting(QFont font, const QRect& box, int flags, const QString& text) {
  for (double points = font.pointSizeF(); points >= 6.0; points -= 0.25) {
    font.setPointSizeF(points);
    const QRect need = QFontMetrics(font).boundingRect(box, flags | Qt::TextWordWrap, text);
    if (need.height() <= box.height() && need.width() <= box.width()) break;
  }
  return font;
}

void fit(QLabel* label) {
  const QRect box = label->contentsRect().adjusted(1, 0, -1, 0);
  label->setFont(fitting(label->font(), box, static_cast<int>(label->alignment()), label->text()));
}

}  // namespace

void WrapButton::paintEvent(QPaintEvent*) {
  QStylePainter p(this);
  QStyleOptionButton opt;
  initStyleOption(&opt);
  opt.text.clear();
  p.drawControl(QStyle::CE_PushButton, opt);
  p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
  const QRect box = rect().adjusted(6, 4, -6, -4);
  p.setFont(fitting(font(), box, Qt::AlignCenter, text()));
  p.drawText(box, Qt::AlignCenter | Qt::TextWordWrap, text());
}

bool openLogInEditor(const QString& path, QString* message) {
  if (!QFileInfo(path).isFile()) {
    if (message) *message = QStringLiteral("The log file %1 does not exist").arg(path);
    return false;
  }
  QProcess xdg;
  xdg.setStandardOutputFile(QProcess::nullDevice());
  xdg.setStandardErrorFile(QProcess::nullDevice());
  xdg.start(QStringLiteral("xdg-open"), {path});
  if (xdg.waitForStarted(10000) && xdg.waitForFinished(60000) &&
      xdg.exitStatus() == QProcess::NormalExit && xdg.exitCode() == 0)
    return true;
  if (xdg.state() != QProcess::NotRunning) xdg.kill();
  if (message)
    *message = QStringLiteral("The log file could not be opened in a text editor; it is %1").arg(path);
  return false;
}

WindowEnvironment WindowEnvironment::desktop() {
  WindowEnvironment e;
  e.currentDir = QDir::currentPath();
  e.engine = engineBeside(QCoreApplication::applicationFilePath());
  e.openLog = openLogInEditor;
  const Office office = e.office;
  e.openWorkbook = [office](const QString& path, QString* message) {
    return veltrasom::openWorkbook(path, office, message);
  };
  return e;
}

MainWindow::MainWindow(WindowEnvironment env, QWidget* parent)
    : QWidget(parent), env_(std::move(env)) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("VELTRASOM"));
  if (!env_.openLog) env_.openLog = openLogInEditor;
  if (!env_.openWorkbook) {
    const Office office = env_.office;
    env_.openWorkbook = [office](const QString& path, QString* message) {
      return veltrasom::openWorkbook(path, office, message);
    };
  }
  run_.setEngineProgram(env_.engine);
  run_.setOffice(env_.office);

  connect(&run_, &RunController::stateChanged, this, [this](RunController::State s) {
    if (s != RunController::State::Running) return;
    // The converted observed values are still in place: the engine
    // removes them only at its end.
    sampleCount_ = headerSamples(run_.names().convertedFile(Input::Obs));
    setState(State::Running);
  });
  connect(&run_, &RunController::sampleDone, this, [this](int sample, const QString&) {
    engineSample(sample);
  });
  connect(&run_, &RunController::finished, this, [this](const RunOutcome&) { engineFinished(); });

  buildLayout();
  loadStartNames();
  showNames();
  setState(State::Ready);
}

MainWindow::~MainWindow() = default;

void MainWindow::buildLayout() {
  const double scale = qMax(1.0, logicalDpiX() / 96.0);
  auto px = [scale](int twips) { return qRound(twips / kTwipsPerPixel * scale); };
  auto place = [&](QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(px(left), px(top), px(width), px(height));
  };
  setFixedSize(px(10905), px(10200));

  // A narrow sans serif keeps the captions within the boxes of the layout.
  QFont base = font();
  base.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                    QStringLiteral("DejaVu Sans Condensed"), base.family()});
  base.setPointSizeF(8.25);
  setFont(base);

  auto captionFont = [](double points, bool bold) {
    QFont f(QStringLiteral("Arial"));
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
  };
  auto caption = [&](const char* name, const QString& text, const QFont& f, const QColor& colour,
                     int left, int top) {
    auto* l = new QLabel(text, this);
    l->setObjectName(QString::fromLatin1(name));
    l->setFont(f);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, colour);
    l->setPalette(pal);
    l->adjustSize();
    l->move(px(left), px(top));
    return l;
  };
  title_ = caption("Label11", QStringLiteral("VELTRASOM"), captionFont(27.75, true), kBlue, 4680, 120);
  caption("Label12", QStringLiteral("KOROS PRAVELENT"), captionFont(14.25, true), kBlue, 960, 960);
  caption("Label13", QStringLiteral("Release 1.2 (November 2011)     "), captionFont(10.5, false),
          kDarkBlue, 4920, 1440);

  auto* image1 = new Emblem(Emblem::Kind::Banner, this);
  image1->setObjectName(QStringLiteral("Image1"));
  place(image1, 0, 120, 4080, 705);
  auto* image3 = new Emblem(Emblem::Kind::Badge, this);
  image3->setObjectName(QStringLiteral("Image3"));
  place(image3, 9360, 120, 1410, 1155);

  for (int row = 0; row < 8; ++row) {
    auto* label = new QLabel(QString::fromLatin1(kRows[row].caption), this);
    label->setObjectName(QString::fromLatin1(kRows[row].label));
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    place(label, 600, kRows[row].top, 1815, 375);
    fit(label);

    auto* text = new QPlainTextEdit(this);
    text->setObjectName(row == 0 ? QStringLiteral("Text8") : QStringLiteral("Text%1").arg(row));
    text->setReadOnly(true);
    text->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    text->document()->setDocumentMargin(1);
    QPalette pal = text->palette();
    pal.setColor(QPalette::Base, kLightYellow);
    pal.setColor(QPalette::Text, Qt::black);
    text->setPalette(pal);
    place(text, 2520, kRows[row].top, 6255, 492);
    texts_[row] = text;

    auto* edit = new QPushButton(QStringLiteral("Edit"), this);
    edit->setObjectName(row == 0 ? QStringLiteral("Command13") : QStringLiteral("Command%1").arg(row));
    place(edit, 9000, kRows[row].top, 972, 492);
    edits_[row] = edit;
    if (row == 0)
      connect(edit, &QPushButton::clicked, this, &MainWindow::chooseWorkingDirectory);
    else
      connect(edit, &QPushButton::clicked, this, [this, row] { editFile(row); });
  }

  auto* hint = new QLabel(QStringLiteral("The Log file contains information on any detected errors with "
                                         "the program's progress and should always be checked:"),
                          this);
  hint->setObjectName(QStringLiteral("Label9"));
  hint->setWordWrap(true);
  hint->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  hint->setStyleSheet(QStringLiteral("QLabel { color: red; }"));
  place(hint, 120, 7800, 2055, 1095);
  fit(hint);

  auto* warning = new QLabel(
      QStringLiteral("EXCEL OUTPUT FILE OF RESULTS MUST BE CLOSED BEFORE RUNNING THIS PRORAM"), this);
  warning->setObjectName(QStringLiteral("Label8"));
  warning->setWordWrap(true);
  warning->setAlignment(Qt::AlignCenter);
  warning->setStyleSheet(QStringLiteral("QLabel { color: red; background-color: %1; }").arg(kPink.name()));
  place(warning, 8640, 7920, 1935, 855);
  fit(warning);

  // Line1: from the warning up to the results row.
  {
    const int x1 = 9000, y1 = 7920, x2 = 8760, y2 = 6840, pad = 30;
    auto* line = new Pointer(QPointF(px(x1 - x2 + pad), px(y1 - y2 + pad)), QPointF(px(pad), px(pad)), this);
    line->setObjectName(QStringLiteral("Line1"));
    place(line, x2 - pad, y2 - pad, x1 - x2 + 2 * pad, y1 - y2 + 2 * pad);
    line->raise();
  }

  auto button = [&](const char* name, const QString& text, int left, int top, int width) {
    auto* b = new WrapButton(text, this);
    b->setObjectName(QString::fromLatin1(name));
    place(b, left, top, width, 972);
    return b;
  };
  quit_ = button("Command8", QStringLiteral("Press to Quit program"), 2520, 7800, 2412);
  run_button_ = button("Command9",
                       QStringLiteral("Press to carry out the uncertainty analysis and store results in "
                                      "the specified Output file"),
                       5400, 7800, 2772);
  failed_ = button("Command11",
                   QStringLiteral("Analysis could not be completed, Press to exit Program and view "
                                  "progress and errors in the VELTRASOM.LOG file"),
                   2400, 7800, 2772);
  view_ = button("Command10", QString(), 2400, 9000, 2772);
  succeeded_ = button("Command12", QStringLiteral("Analysis completed ok Press to view results in EXCEL"),
                      5400, 9000, 2772);
  failed_->hide();
  view_->hide();
  succeeded_->hide();

  connect(quit_, &QPushButton::clicked, this, &QWidget::close);
  connect(run_button_, &QPushButton::clicked, this, &MainWindow::startRun);
  connect(view_, &QPushButton::clicked, this, &MainWindow::viewResults);
  connect(failed_, &QPushButton::clicked, this, &MainWindow::failureButton);
  connect(succeeded_, &QPushButton::clicked, this, &MainWindow::successButton);
}

void MainWindow::loadStartNames() {
  // The last working directory first, then the directory the program was
  // started in; the first that holds a control file gives the names.
  QStringList candidates;
  const QString last = openSettings(env_.settingsFile)->value(QLatin1String(kLastDirectoryKey)).toString();
  if (!last.isEmpty() && QFileInfo(last).isDir()) candidates << QDir::cleanPath(last);
  candidates << QDir::cleanPath(QDir(env_.currentDir).absolutePath());

  for (const QString& dir : candidates) {
    RunNames saved;
    if (!readControlFile(RunNames::defaults(dir).controlFile(), &saved)) continue;
    // The directory that holds the control file is the one the engine
    // will run in, whatever its first line says.
    names_ = RunNames::defaults(dir);
    const QDir working(dir);
    for (int row = 1; row <= 7; ++row) {
      const QString& name = *nameOfRow(saved, row);
      if (!name.trimmed().isEmpty()) *nameOfRow(names_, row) = working.absoluteFilePath(name);
    }
    return;
  }
  names_ = RunNames::defaults(candidates.first());
}

void MainWindow::showNames() {
  for (int row = 0; row < 8; ++row) texts_[row]->setPlainText(*nameOfRow(names_, row));
}

void MainWindow::rememberDirectory() {
  openSettings(env_.settingsFile)->setValue(QLatin1String(kLastDirectoryKey), names_.dir);
}

void MainWindow::setState(State s) {
  state_ = s;
  emit stateChanged(s);
}

void MainWindow::showCritical(const QString& title, const QString& text, const QString& details) {
  QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, this);
  box.setObjectName(QStringLiteral("criticalMessage"));
  if (!details.isEmpty()) box.setInformativeText(details);
  box.exec();
}

QFileDialog* MainWindow::makeDialog(const QString& title) {
  auto* dialog = new QFileDialog(this, title);
  dialog->setAttribute(Qt::WA_DeleteOnClose, false);
  if (!env_.nativeDialogs) dialog->setOption(QFileDialog::DontUseNativeDialog);
  return dialog;
}

void MainWindow::editFile(int row) {
  const FileDialogSpec& spec = kDialogs[row - 1];
  QString* field = nameOfRow(names_, row);
  std::unique_ptr<QFileDialog> dialog(makeDialog(QString::fromLatin1(spec.title)));
  dialog->setObjectName(QStringLiteral("CommonDialogBox%1").arg(row));
  dialog->setAcceptMode(spec.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog->setFileMode(spec.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  // The first filter is the one shown; the others let the user reach the
  // other forms a workbook may take here.
  const QStringList filters =
      spec.log ? QStringList{QStringLiteral("VELTRASOM LOG File (*.Log)"), QStringLiteral("All files (*)")}
               : QStringList{QStringLiteral("EXCEL (*.xls*)"), QStringLiteral("Comma-separated (*.csv)"),
                             QStringLiteral("OpenDocument (*.ods)"), QStringLiteral("All files (*)")};
  dialog->setNameFilters(filters);
  if (*spec.suffix) dialog->setDefaultSuffix(QString::fromLatin1(spec.suffix));
  const QFileInfo current(QDir(names_.dir).absoluteFilePath(*field));
  dialog->setDirectory(current.absolutePath());
  dialog->selectFile(current.fileName());
  if (dialog->exec() != QDialog::Accepted) return;
  const QString chosen = dialog->selectedFiles().value(0);
  if (chosen.isEmpty()) return;
  *field = QDir::cleanPath(chosen);
  texts_[row]->setPlainText(*field);
}

void MainWindow::chooseWorkingDirectory() {
  std::unique_ptr<QFileDialog> dialog(makeDialog(QStringLiteral("Select woking Directory")));
  dialog->setObjectName(QStringLiteral("BrowseFolder"));
  dialog->setFileMode(QFileDialog::Directory);
  dialog->setOption(QFileDialog::ShowDirsOnly);
  dialog->setDirectory(names_.dir);
  if (dialog->exec() != QDialog::Accepted) return;
  const QString chosen = dialog->selectedFiles().value(0);
  if (chosen.isEmpty() || !QFileInfo(chosen).isDir()) return;
  names_ = RunNames::defaults(chosen);
  showNames();
  rememberDirectory();
}

void MainWindow::startRun() {
  if (state_ != State::Ready) return;
  quit_->hide();
  run_button_->hide();
  succeeded_->hide();
  view_->setText(QStringLiteral("Processing : Please wait ..."));
  view_->setEnabled(false);
  view_->show();
  sampleCount_ = 0;
  setState(State::Converting);
  // The conversion holds the event loop; show the caption first.
  repaint();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

  if (!run_.start(names_)) {
    view_->hide();
    quit_->show();
    run_button_->show();
    setState(State::Ready);
    showCritical(QStringLiteral("Analysis could not be started"), run_.outcome().reason);
    return;
  }
  rememberDirectory();
}

void MainWindow::engineSample(int sample) {
  if (state_ != State::Running) return;
  const int n = qMax(sampleCount_, sample);
  view_->setText(QStringLiteral("Processing : Please wait ...  sample %1 of %2").arg(sample).arg(n));
}

void MainWindow::engineFinished() {
  view_->setText(QStringLiteral("Press to view results "));
  view_->setEnabled(true);
  setState(State::Waiting);
}

void MainWindow::viewResults() {
  if (state_ != State::Waiting) return;
  const RunOutcome& o = run_.outcome();
  const RunNames& ran = run_.names();
  view_->hide();
  if (o.completed) {
    succeeded_->show();
    setState(State::Succeeded);
    return;
  }

  // What the engine said besides its log, with the workbook behind each
  // converted file it names.
  QStringList report = o.engineReport;
  const QString said = report.join(QLatin1Char('\n'));
  for (Input in : kInputs) {
    const QString converted = QString::fromLatin1(convertedName(in));
    if (said.contains(converted, Qt::CaseInsensitive))
      report << QStringLiteral("%1 was converted from the %2 %3").arg(converted, inputRole(in), ran.input(in));
  }

  if (o.marker == 1 && o.exitCode >= 0) {
    // The engine stopped on its own: its reasons are in the log.
    failed_->show();
    setState(State::Failed);
    if (!o.engineReport.isEmpty())
      showCritical(QStringLiteral("Analysis could not be completed"),
                   QStringLiteral("The engine reported:\n%1").arg(report.join(QLatin1Char('\n'))),
                   QStringLiteral("Log file: %1").arg(o.logFile));
    return;
  }
  quit_->show();
  run_button_->show();
  setState(State::Ready);
  QString details = QStringLiteral("Engine: %1\nLog file: %2").arg(run_.engineProgram(), o.logFile);
  if (!report.isEmpty()) details += QStringLiteral("\n") + report.join(QLatin1Char('\n'));
  showCritical(QStringLiteral("Analysis could not be completed"), o.reason, details);
}

void MainWindow::failureButton() {
  if (state_ != State::Failed) return;
  QString message;
  if (!env_.openLog(run_.outcome().logFile, &message))
    showCritical(QStringLiteral("Problem with the Log file"), message);
  close();
}

void MainWindow::successButton() {
  // The workbook chosen now; the results file of the run that ended.
  const QString workbook = QDir(run_.names().dir).absoluteFilePath(names_.out);
  const ConversionResult written =
      writeResultsWorkbook(run_.names().resultsFile(), workbook, env_.office);
  if (!written.ok()) {
    showCritical(resultsFailureTitle(written), resultsFailureText(written), written.message);
  } else {
    QString message;
    if (!env_.openWorkbook(workbook, &message))
      showCritical(QStringLiteral("Problem with the Output file"), message);
  }
  quit_->show();
  run_button_->show();
  setState(State::Ready);
}

}  // namespace veltrasom
