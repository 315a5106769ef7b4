#include "kelvor_tester_form.h"

#include <QCloseEvent>
#include <QFont>

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

}  // namespace

KelvorTesterForm::KelvorTesterForm(KelvorApi& lib, MessageSink& messages, PortProber& ports,
                                   QWidget* parent)
    : QWidget(parent), lib_(lib), messages_(messages), ports_(ports) {
  setObjectName(QString::fromLatin1(winDef::kFormName));
  setWindowTitle(QString::fromLatin1(winDef::kCaption));
  resize(twipsToPixels(winDef::kClientWidth), twipsToPixels(winDef::kClientHeight));
  setFont(windowFont());
  createControls();
  wireEvents();
}

template <winDef::Kind K>
ControlOf<K>* KelvorTesterForm::create(const winDef::Control& c) {
  using winDef::Kind;
  QWidget* parent = c.frame < 0 ? static_cast<QWidget*>(this) : Frame[c.frame];
  const QString text = QString::fromUtf8(c.text);
  if constexpr (K == Kind::Frame) {
    return new QGroupBox(text, parent);
  } else if constexpr (K == Kind::Button) {
    return new CommandButton(text, parent);
  } else if constexpr (K == Kind::Check || K == Kind::PushCheck || K == Kind::Option) {
    auto* box = new ControlOf<K>(parent);
    box->setText(text);
    if constexpr (K == Kind::PushCheck) {
      if (c.flags & winDef::kGrayed) box->setValue(2);
    }
    return box;
  } else if constexpr (K == Kind::List || K == Kind::Combo) {
    auto* combo = new ComboControl(K == Kind::Combo, parent);
    combo->clearSelectionSilently(text);
    return combo;
  } else if constexpr (K == Kind::Text) {
    auto* box = new TextBox(text, parent);
    box->setAlignment(alignmentOf(c.flags) | Qt::AlignVCenter);
    box->setCursorPosition(0);
    return box;
  } else if constexpr (K == Kind::Label) {
    auto* label = new LabelControl(text, parent);
    label->setAlignment(alignmentOf(c.flags) | Qt::AlignTop);
    if (c.flags & winDef::kBorder) {
      label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
      label->setLineWidth(1);
      label->setAlignment(alignmentOf(c.flags) | Qt::AlignVCenter);
      label->setMargin(1);
    }
    label->setFocusPolicy(Qt::NoFocus);
    return label;
  } else if constexpr (K == Kind::Grid) {
    auto* grid = new FlexGrid(parent);
    grid->setFont(gridFont());
    return grid;
  } else {
    static_assert(K == Kind::Line);
    auto* line = new QFrame(parent);
    line->setFrameStyle(QFrame::NoFrame);
    line->setAutoFillBackground(true);
    QPalette p = line->palette();
    p.setColor(QPalette::Window, Qt::black);
    line->setPalette(p);
    return line;
  }
}

void KelvorTesterForm::createControls() {
  QFont::insertSubstitutions(QString::fromUtf8(winDef::kGridFont),
                             {QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic")});

  // Each control in the order of the definition, which puts every frame before its contents.
  std::vector<std::pair<int, QWidget*>> tabOrder;
  const winDef::Control* row = winDef::kControls;
  auto place = [&](auto* control) {
    const winDef::Control& c = *row++;
    control->setObjectName(QString::fromLatin1(c.name));
    control->setGeometry(pixels(c));
    if (c.field) control->setAccessibleName(QString::fromUtf8(c.field));
    if (c.tab >= 0 && control->focusPolicy() != Qt::NoFocus && c.kind != winDef::Kind::Frame) {
      tabOrder.emplace_back(c.tab, control);
    }
    return control;
  };
#define KLV_CREATE_ONE(member, kind, ...) member = place(create<winDef::Kind::kind>(*row));
#define KLV_CREATE_EACH(member, index, kind, ...) \
  member[index] = place(create<winDef::Kind::kind>(*row));
  KELVOR_WINDOW_CONTROLS(KLV_CREATE_ONE, KLV_CREATE_EACH)
#undef KLV_CREATE_ONE
#undef KLV_CREATE_EACH

#define KLV_FILL_LIST(member, ...)                                                            \
  for (const winDef::ListItem& item : std::initializer_list<winDef::ListItem>{__VA_ARGS__}) { \
    member->addListItem(QString::fromUtf8(item.text), item.data);                             \
  }
  KELVOR_WINDOW_LISTS(KLV_FILL_LIST)
#undef KLV_FILL_LIST
#define KLV_SIZE_GRID(member, rows, cols) member->setCells(rows, cols);
  KELVOR_WINDOW_GRIDS(KLV_SIZE_GRID)
#undef KLV_SIZE_GRID

  std::sort(tabOrder.begin(), tabOrder.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  for (size_t i = 1; i < tabOrder.size(); ++i) {
    QWidget::setTabOrder(tabOrder[i - 1].second, tabOrder[i].second);
  }

  const std::vector<OptionButton*> transports(std::begin(OptDevice), std::end(OptDevice));
  for (OptionButton* option : OptDevice) option->setGroup(transports);
}

// A control with a Click event runs the handler named after it; a control array's handler
// receives the member's index.
void KelvorTesterForm::wireEvents() {
#define KLV_ON_Click(control, handler) control->onClick = [this] { handler; };
#define KLV_ON_NoClick(control, handler)
#define KLV_WIRE_ONE(member, kind, event, ...) KLV_ON_##event(member, member##_Click())
#define KLV_WIRE_EACH(member, index, kind, event, ...) \
  KLV_ON_##event(member[index], member##_Click(index))
  KELVOR_WINDOW_CONTROLS(KLV_WIRE_ONE, KLV_WIRE_EACH)
#undef KLV_WIRE_ONE
#undef KLV_WIRE_EACH
#undef KLV_ON_Click
#undef KLV_ON_NoClick
}

// Latin captions and numbers need no shaping: their glyphs are placed one after the other, as
// the system's own text drawing does, rather than every string passing through the shaping
// engine (a third of what laying out the window's texts costs).
QFont KelvorTesterForm::windowFont() {
  QFont font(QString::fromLatin1(winDef::kFont));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(winDef::kFontPixels);
  font.setStyleStrategy(QFont::PreferNoShaping);
  return font;
}

QFont KelvorTesterForm::gridFont() {
  QFont font(QString::fromUtf8(winDef::kGridFont), winDef::kGridFontPoints);
  font.setStyleStrategy(QFont::PreferNoShaping);
  return font;
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
