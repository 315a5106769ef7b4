#include "kelvor_tester_form.h"

#include <QCloseEvent>
#include <QFont>
#include <QHash>
#include <QHeaderView>
#include <QPainter>

#include "ctrllib/number_text.h"
#include "window_definition.h"

namespace {

Qt::Alignment alignmentOf(unsigned flags) {
  const Qt::Alignment h = (flags & winDef::kRight)    ? Qt::AlignRight
                          : (flags & winDef::kCenter) ? Qt::AlignHCenter
                                                      : Qt::AlignLeft;
  return h;
}

QRect pixels(const winDef::Control& c) {
  return QRect(twipsToPixels(c.left), twipsToPixels(c.top), twipsToPixels(c.width),
               std::max(1, twipsToPixels(c.height)));
}

// "txtPos(3)" -> ("txtPos", 3); "cmdExit" -> ("cmdExit", -1)
std::pair<QString, int> splitName(const QString& name) {
  const qsizetype open = name.indexOf(QLatin1Char('('));
  if (open < 0) return {name, -1};
  return {name.left(open), name.mid(open + 1, name.size() - open - 2).toInt()};
}

}  // namespace

KelvorTesterForm::KelvorTesterForm(KelvorApi& lib, MessageSink& messages, PortProber& ports,
                                   QWidget* parent)
    : QWidget(parent), lib_(lib), messages_(messages), ports_(ports) {
  setObjectName(QString::fromLatin1(winDef::kFormName));
  setWindowTitle(QString::fromLatin1(winDef::kCaption));
  resize(twipsToPixels(winDef::kClientWidth), twipsToPixels(winDef::kClientHeight));
  // The window's controls use a small sans-serif face, sized so every caption fits its box.
  setFont(QFont(QStringLiteral("Sans Serif"), 8));
  createControls();
  wireEvents();
}

void KelvorTesterForm::createControls() {
  QFont::insertSubstitutions(QString::fromUtf8(winDef::kGridFont),
                             {QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic")});
  QHash<QString, QWidget*> byName;
  std::vector<std::pair<int, QWidget*>> tabOrder;

  for (const winDef::Control& c : winDef::controls()) {
    QWidget* parent = c.frame < 0 ? static_cast<QWidget*>(this) : Frame[c.frame];
    const QString text = QString::fromUtf8(c.text);
    const auto [base, index] = splitName(QString::fromLatin1(c.name));
    QWidget* w = nullptr;
    switch (c.kind) {
      case winDef::Kind::Frame: {
        auto* frame = new QGroupBox(text, parent);
        Frame[index] = frame;
        w = frame;
        break;
      }
      case winDef::Kind::Button:
        w = new CommandButton(text, parent);
        break;
      case winDef::Kind::Check: {
        auto* box = new CheckBox(parent);
        box->setText(text);
        w = box;
        break;
      }
      case winDef::Kind::PushCheck: {
        auto* box = new PushCheckBox(parent);
        box->setText(text);
        if (c.flags & winDef::kGrayed) box->setValue(2);
        w = box;
        break;
      }
      case winDef::Kind::Option: {
        auto* option = new OptionButton(parent);
        option->setText(text);
        w = option;
        break;
      }
      case winDef::Kind::List:
      case winDef::Kind::Combo: {
        auto* combo = new ComboControl(c.kind == winDef::Kind::Combo, parent);
        combo->clearSelectionSilently(text);
        w = combo;
        break;
      }
      case winDef::Kind::Text: {
        auto* box = new TextBox(text, parent);
        box->setAlignment(alignmentOf(c.flags) | Qt::AlignVCenter);
        box->setCursorPosition(0);
        w = box;
        break;
      }
      case winDef::Kind::Label: {
        auto* label = new Label(text, parent);
        label->setAlignment(alignmentOf(c.flags) | Qt::AlignTop);
        if (c.flags & winDef::kBorder) {
          label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
          label->setLineWidth(1);
          label->setAlignment(alignmentOf(c.flags) | Qt::AlignVCenter);
          label->setMargin(1);
        }
        label->setFocusPolicy(Qt::NoFocus);
        w = label;
        break;
      }
      case winDef::Kind::Grid: {
        for (const winDef::Grid& g : winDef::grids()) {
          if (base == QLatin1String(g.name)) {
            auto* grid = new FlexGrid(g.rows, g.cols, parent);
            // Rows as high as the font needs, lower where the grid would not show them all.
            const int fit = (twipsToPixels(c.height) - 2) / g.rows;
            grid->verticalHeader()->setDefaultSectionSize(std::min(16, fit));
            w = grid;
          }
        }
        w->setFont(QFont(QString::fromUtf8(winDef::kGridFont), winDef::kGridFontPoints));
        break;
      }
      case winDef::Kind::Line: {
        auto* line = new QFrame(parent);
        line->setFrameStyle(QFrame::NoFrame);
        line->setAutoFillBackground(true);
        QPalette p = line->palette();
        p.setColor(QPalette::Window, Qt::black);
        line->setPalette(p);
        w = line;
        break;
      }
    }
    w->setObjectName(QString::fromLatin1(c.name));
    w->setGeometry(pixels(c));
    byName.insert(w->objectName(), w);
    if (c.tab >= 0 && w->focusPolicy() != Qt::NoFocus && c.kind != winDef::Kind::Frame) {
      tabOrder.emplace_back(c.tab, w);
    }
  }

  for (const winDef::ListItem& item : winDef::listItems()) {
    static_cast<ComboControl*>(byName.value(QString::fromLatin1(item.combo)))
        ->addListItem(QString::fromUtf8(item.text), item.data);
  }

  std::sort(tabOrder.begin(), tabOrder.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  for (size_t i = 1; i < tabOrder.size(); ++i) {
    QWidget::setTabOrder(tabOrder[i - 1].second, tabOrder[i].second);
  }

  auto get = [&byName](const char* name) {
    QWidget* w = byName.value(QString::fromLatin1(name));
    Q_ASSERT(w);
    return w;
  };
  auto arr = [&get](auto& array, const char* base) {
    for (size_t i = 0; i < std::size(array); ++i) {
      const QByteArray name = QByteArray(base) + '(' + QByteArray::number(qulonglong(i)) + ')';
      array[i] = static_cast<std::remove_reference_t<decltype(array[0])>>(get(name.constData()));
    }
  };
  auto one = [&get](auto*& member, const char* name) {
    member = static_cast<std::remove_reference_t<decltype(member)>>(get(name));
  };

  arr(Label_, "Label");
  arr(Label1, "Label1");
  arr(Label2, "Label2");
  one(Line, "Line");
  arr(OptDevice, "OptDevice");
  one(txtIPAddress, "txtIPAddress");
  one(cmbPort, "cmbPort");
  one(cmbBaudrate, "cmbBaudrate");
  one(cmdConnect, "cmdConnect");
  one(cmdDisconnect, "cmdDisconnect");
  one(lblRomVer, "lblRomVer");
  one(lblSirial, "lblSirial");
  one(lblRobotType, "lblRobotType");
  one(grdCtrlParam, "grdCtrlParam");
  one(cmbCtrlParam, "cmbCtrlParam");
  one(txtCtrlValue, "txtCtrlValue");
  one(cmdChangeCtrl, "cmdChangeCtrl");
  one(grdCtrlDef, "grdCtrlDef");
  one(cmbDefType, "cmbDefType");
  one(txtDefNo, "txtDefNo");
  one(cmdGetDef, "cmdGetDef");
  arr(txtCalSet, "txtCalSet");
  arr(txtLinkSS, "txtLinkSS");
  arr(txtLinkAA, "txtLinkAA");
  one(cmdGetCtrl, "cmdGetCtrl");
  one(cmdPutCtrl, "cmdPutCtrl");
  one(lblMode, "lblMode");
  one(chkMotor, "chkMotor");
  one(chkAutomode, "chkAutomode");
  one(chkRobSlave, "chkRobSlave");
  one(lblError, "lblError");
  one(lblErrorDescription, "lblErrorDescription");
  one(cmdGetError, "cmdGetError");
  one(cmdClearError, "cmdClearError");
  one(cmbVariable, "cmbVariable");
  one(txtVariableNo, "txtVariableNo");
  one(txtVariableValue, "txtVariableValue");
  one(cmdGetVariable, "cmdGetVariable");
  one(cmdPutVariable, "cmdPutVariable");
  arr(txtPos, "txtPos");
  one(cmdPosition, "cmdPosition");
  one(cmdCalcDevH, "cmdCalcDevH");
  one(cmdMove, "cmdMove");
  one(cmbComp, "cmbComp");
  one(cmbPath, "cmbPath");
  one(txtLength, "txtLength");
  one(chkNext, "chkNext");
  one(cmdApproach, "cmdApproach");
  one(cmdDepart, "cmdDepart");
  one(cmdDriveA, "cmdDriveA");
  arr(TxtRotDiff, "TxtRotDiff");
  arr(TxtLenDiff, "TxtLenDiff");
  one(cmdCalcCalset, "cmdCalcCalset");
  one(cmdExit, "cmdExit");

  OptDevice[0]->setGroup({OptDevice[0], OptDevice[1]});
  OptDevice[1]->setGroup({OptDevice[0], OptDevice[1]});
}

void KelvorTesterForm::wireEvents() {
  auto onClick = [this](QAbstractButton* button, void (KelvorTesterForm::*handler)()) {
    QObject::connect(button, &QAbstractButton::clicked, this,
                     [this, handler] { (this->*handler)(); });
  };
  OptDevice[0]->onClick = [this] { OptDevice_Click(0); };
  OptDevice[1]->onClick = [this] { OptDevice_Click(1); };
  onClick(cmdConnect, &KelvorTesterForm::cmdConnect_Click);
  onClick(cmdDisconnect, &KelvorTesterForm::cmdDisconnect_Click);
  cmbCtrlParam->onClick = [this] { cmbCtrlParam_Click(); };
  onClick(cmdChangeCtrl, &KelvorTesterForm::cmdChangeCtrl_Click);
  onClick(cmdGetDef, &KelvorTesterForm::cmdGetDef_Click);
  onClick(cmdGetCtrl, &KelvorTesterForm::cmdGetCtrl_Click);
  onClick(cmdPutCtrl, &KelvorTesterForm::cmdPutCtrl_Click);
  chkMotor->onClick = [this] { chkMotor_Click(); };
  chkAutomode->onClick = [this] { chkAutomode_Click(); };
  chkRobSlave->onClick = [this] { chkRobSlave_Click(); };
  onClick(cmdGetError, &KelvorTesterForm::cmdGetError_Click);
  onClick(cmdClearError, &KelvorTesterForm::cmdClearError_Click);
  onClick(cmdGetVariable, &KelvorTesterForm::cmdGetVariable_Click);
  onClick(cmdPutVariable, &KelvorTesterForm::cmdPutVariable_Click);
  onClick(cmdPosition, &KelvorTesterForm::cmdPosition_Click);
  onClick(cmdCalcDevH, &KelvorTesterForm::cmdCalcDevH_Click);
  onClick(cmdMove, &KelvorTesterForm::cmdMove_Click);
  onClick(cmdApproach, &KelvorTesterForm::cmdApproach_Click);
  onClick(cmdDepart, &KelvorTesterForm::cmdDepart_Click);
  onClick(cmdDriveA, &KelvorTesterForm::cmdDriveA_Click);
  onClick(cmdCalcCalset, &KelvorTesterForm::cmdCalcCalset_Click);
  onClick(cmdExit, &KelvorTesterForm::cmdExit_Click);
}

QString KelvorTesterForm::fieldCaption(const QWidget* field) {
  const QString name = field->objectName();
  for (const winDef::Control& c : winDef::controls()) {
    if (name == QLatin1String(c.name)) {
      return c.field ? QString::fromUtf8(c.field) : name;
    }
  }
  return name;
}

void KelvorTesterForm::closeEvent(QCloseEvent* event) {
  int cancel = 0;
  Form_Unload(cancel);
  if (cancel) {
    event->ignore();
  } else {
    event->accept();
  }
}

void KelvorTesterForm::showFailure(const QString& words, int32_t code, MsgIcon icon) {
  messages_.show(failureText(words, code), icon);
}

void KelvorTesterForm::showMessage(const QString& text, MsgIcon icon) {
  messages_.show(text, icon);
}

void KelvorTesterForm::refuseField(TextBox* field, const QString& expected) {
  const QString caption = fieldCaption(field);
  const QString text = field->text();
  const QString message =
      text.trimmed().isEmpty()
          ? QStringLiteral("%1 is empty. Type %2.").arg(caption, expected)
          : QStringLiteral("\"%1\" in %2 is not %3.").arg(text, caption, expected);
  messages_.show(message, MsgIcon::Stop);
  field->setFocus(Qt::OtherFocusReason);
  field->selectAll();
}

std::optional<float> KelvorTesterForm::readFloat(TextBox* field) {
  auto value = numtext::toFloat(field->text());
  if (!value) refuseField(field, QStringLiteral("a number within the range of a 32-bit float"));
  return value;
}

std::optional<double> KelvorTesterForm::readDouble(TextBox* field) {
  auto value = numtext::toDouble(field->text());
  if (!value) refuseField(field, QStringLiteral("a number within the range of a 64-bit float"));
  return value;
}

std::optional<int32_t> KelvorTesterForm::readInt32(TextBox* field) {
  auto value = numtext::toInt32(field->text());
  if (!value) refuseField(field, QStringLiteral("a number from -2147483648 to 2147483647"));
  return value;
}
