// The controls of the settings page and where they stand; what they do is in settings_page.cpp.
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <functional>

#include "console/app/settings_page.h"
#include "console/foundation/skin_button.h"
#include "console/foundation/switch_button.h"

namespace orv::console {
namespace {

const QColor kSwitchOn(11, 109, 18);
const QColor kLinkBlue(0, 0, 255);
const QColor kHintGrey(110, 120, 130);

// A static text that reacts to clicks, drawn as a link.
class CLinkLabel : public QLabel {
 public:
  CLinkLabel(int id, const QString& text, std::function<void()> onClick, QWidget* parent)
      : QLabel(text, parent), onClick_(std::move(onClick)) {
    setObjectName(QStringLiteral("link%1").arg(id));
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_TranslucentBackground);
    setStyleSheet(QStringLiteral("QLabel { color: %1; background: transparent; }"
                                 " QLabel:disabled { color: #8090a0; }")
                      .arg(kLinkBlue.name()));
  }

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
      onClick_();
    }
  }

 private:
  std::function<void()> onClick_;
};

CSkinButton* MakeButton(int id, const QString& caption, QWidget* parent) {
  auto* button = new CSkinButton(parent);
  button->setObjectName(QStringLiteral("button%1").arg(id));
  button->setText(caption);
  button->setFixedSize(72, 26);
  button->setCursor(Qt::PointingHandCursor);
  return button;
}

QLabel* Hint(const QString& text, QWidget* parent) {
  auto* hint = new QLabel(text, parent);
  QFont small = hint->font();
  small.setPointSizeF(small.pointSizeF() - 1);
  hint->setFont(small);
  hint->setStyleSheet(
      QStringLiteral("QLabel { color: %1; background: transparent; }").arg(kHintGrey.name()));
  return hint;
}

QLineEdit* NumberField(int maxLength, int width, QWidget* parent) {
  auto* field = new QLineEdit(parent);
  field->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), field));
  if (maxLength > 0) field->setMaxLength(maxLength);
  field->setFixedWidth(width);
  field->setAlignment(Qt::AlignCenter);
  return field;
}

}  // namespace

void CSettingsPage::BuildControls() {
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(6, 2, 6, 0);
  page->setSpacing(6);

  // The system switch and the operating system.
  auto* top = new QHBoxLayout;
  switch_ = new CSwitchButton(this);
  switch_->setObjectName(QStringLiteral("switch%1").arg(kSwitchId));
  QFont switchFont(QStringLiteral("SimSun"));
  switchFont.setPointSize(11);
  switchFont.setBold(true);
  switch_->setFont(switchFont);
  switch_->SetTextColors(kSwitchOn, Qt::red);
  switch_->setText(QStringLiteral("系统已关闭"));
  switch_->setMinimumWidth(switch_->sizeHint().width());
  connect(switch_, &QAbstractButton::clicked, this, &CSettingsPage::OnSwitchClicked);
  top->addWidget(switch_);
  top->addStretch(1);
  osLabel_ = new QLabel(QStringLiteral("操作系统:"), this);
  osLabel_->setObjectName(QStringLiteral("label%1").arg(kOsLabelId));
  osLabel_->setStyleSheet(
      QStringLiteral("QLabel { color: %1; background: transparent; }").arg(kSwitchOn.name()));
  top->addWidget(osLabel_);
  advice_ = MakeButton(kAdviceId, QStringLiteral("64位支持"), this);
  connect(advice_, &QPushButton::clicked, this, &CSettingsPage::ShowSixtyFourBitAdvice);
  advice_->hide();
  top->addWidget(advice_);
  page->addLayout(top);

  auto* rule = new QFrame(this);
  rule->setFrameShape(QFrame::HLine);
  rule->setStyleSheet(QStringLiteral("color: #cad1c9;"));
  page->addWidget(rule);

  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(5);
  grid->setColumnStretch(1, 1);
  int row = 0;

  fileTypes_ = new QLineEdit(this);
  fileTypes_->setObjectName(QStringLiteral("edit1032"));
  grid->addWidget(new QLabel(QStringLiteral("1、监控的文件类型（用|分隔多个）："), this), row, 0);
  grid->addWidget(fileTypes_, row++, 1);

  sendWords_ = new QLineEdit(this);
  sendWords_->setObjectName(QStringLiteral("edit1028"));
  grid->addWidget(new QLabel(QStringLiteral("2、拦截时发送到浏览器的提示信息："), this), row, 0);
  grid->addWidget(sendWords_, row++, 1);

  safeCode_ = new QLineEdit(this);
  safeCode_->setObjectName(QStringLiteral("edit1033"));
  grid->addWidget(new QLabel(QStringLiteral("3、安全码："), this), row, 0);
  grid->addWidget(safeCode_, row++, 1);
  grid->addWidget(Hint(QStringLiteral("URL参数中如果带该安全码，则可以查看网页原始信息。"), this),
                  row++, 1);

  gzip_ = new QCheckBox(QStringLiteral("开启Gzip过滤"), this);
  gzip_->setObjectName(QStringLiteral("check1022"));
  grid->addWidget(gzip_, row, 0);
  grid->addWidget(Hint(QStringLiteral("开启该功能后，Gzip压缩将会被关闭。"), this), row++, 1);

  showWords_ = new QCheckBox(QStringLiteral("拦截时显示关键词"), this);
  showWords_->setObjectName(QStringLiteral("check1027"));
  grid->addWidget(showWords_, row, 0);
  grid->addWidget(Hint(QStringLiteral("拦截时，将拦截的关键词发送到浏览器。"), this), row++, 1);

  log_ = new QCheckBox(QStringLiteral("记录系统日志，日志路径："), this);
  log_->setObjectName(QStringLiteral("check1026"));
  grid->addWidget(log_, row, 0);
  auto* logRow = new QHBoxLayout;
  logRow->setSpacing(8);
  logPath_ = new QLineEdit(this);
  logPath_->setObjectName(QStringLiteral("edit1029"));
  logRow->addWidget(logPath_, 1);
  const struct {
    int id;
    const char* text;
    void (CSettingsPage::*action)();
  } logLinks[] = {{kChooseLinkId, "选择", &CSettingsPage::ChooseLogFolder},
                  {kOpenLinkId, "打开", &CSettingsPage::OpenLogFolder},
                  {kDetailLinkId, "详细", &CSettingsPage::OpenLogManager}};
  for (int i = 0; i < 3; ++i) {
    const auto action = logLinks[i].action;
    links_[i] = new CLinkLabel(
        logLinks[i].id, QString::fromUtf8(logLinks[i].text), [this, action] { (this->*action)(); },
        this);
    logRow->addWidget(links_[i]);
  }
  grid->addLayout(logRow, row++, 1);

  auto* clearRow = new QHBoxLayout;
  clearRow->setSpacing(4);
  clearDays_ = NumberField(0, 48, this);
  clearDays_->setObjectName(QStringLiteral("edit1072"));
  clearRow->addWidget(new QLabel(QStringLiteral("自动清理"), this));
  clearRow->addWidget(clearDays_);
  clearRow->addWidget(new QLabel(QStringLiteral("天之前日志，填写0表示不清理"), this));
  clearRow->addStretch(1);
  grid->addLayout(clearRow, row++, 1);

  autoWords_ = new QCheckBox(QStringLiteral("自动获取官方关键词并应用，时间："), this);
  autoWords_->setObjectName(QStringLiteral("check1065"));
  grid->addWidget(autoWords_, row, 0);
  auto* hourRow = new QHBoxLayout;
  hourRow->setSpacing(4);
  autoHour_ = NumberField(3, 48, this);
  autoHour_->setObjectName(QStringLiteral("edit1066"));
  hourRow->addWidget(autoHour_);
  hourRow->addWidget(new QLabel(QStringLiteral("点。"), this));
  hourRow->addStretch(1);
  grid->addLayout(hourRow, row++, 1);

  auto* accountRow = new QHBoxLayout;
  accountRow->setSpacing(6);
  user_ = new QLineEdit(this);
  user_->setObjectName(QStringLiteral("edit1016"));
  password_ = new QLineEdit(this);
  password_->setObjectName(QStringLiteral("edit1017"));
  password_->setEchoMode(QLineEdit::Password);
  accountRow->addWidget(new QLabel(QStringLiteral("在线词库账号　用户名："), this));
  accountRow->addWidget(user_, 1);
  accountRow->addWidget(new QLabel(QStringLiteral("密码："), this));
  accountRow->addWidget(password_, 1);
  links_[3] = new CLinkLabel(
      kVerifyLinkId, QStringLiteral("验证后获取非法词库"), [this] { VerifyAccount(); }, this);
  accountRow->addWidget(links_[3]);
  grid->addLayout(accountRow, row++, 0, 1, 2);
  page->addLayout(grid);
  page->addStretch(1);

  auto* bottom = new QHBoxLayout;
  links_[4] = new CLinkLabel(
      kRepairLinkId, QStringLiteral("修复系统"), [this] { Repair(); }, this);
  bottom->addWidget(links_[4]);
  bottom->addWidget(Hint(QStringLiteral("设置在保存并重启IIS后生效。"), this));
  bottom->addStretch(1);
  restart_ = MakeButton(kRestartId, RestartCaption(), this);
  connect(restart_, &QPushButton::clicked, this, &CSettingsPage::RestartIis);
  bottom->addWidget(restart_);
  save_ = MakeButton(kSaveId, QStringLiteral("保 存"), this);
  connect(save_, &QPushButton::clicked, this, [this] { Save(); });
  bottom->addWidget(save_);
  page->addLayout(bottom);
}

}  // namespace orv::console
