#include "console/app/words_pages.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "console/app/console_state.h"
#include "console/app/online_notice.h"
#include "console/app/page_keys.h"
#include "console/app/page_text.h"
#include "console/foundation/desktop_services.h"
#include "console/foundation/skin_button.h"
#include "store/edit_forms.h"
#include "store/section_store.h"

namespace orv::console {
namespace {

const QString kSaveCaption = QStringLiteral("保 存");
const QString kSavingCaption = QStringLiteral("保存中");
const QString kMessageCaption = QStringLiteral("消息");

struct RuleHelp {
  int id;
  QString link;
  QString caption;
  QString text;
};

const RuleHelp& HelpFor(int index) {
  static const RuleHelp kHelp[3] = {
      {CWordsPage::kAddRuleId, QStringLiteral("1、加法规则"), QStringLiteral("加法规则"),
       QStringLiteral("加法规则说明：\n\n1、设置“AAA+BBB”，即2个关键词同时出现才认为非法；\n\n"
                      "2、可以用加号“+”连接多个关键词；\n\n3、加号“+”和“-”不能同时使用。")},
      {CWordsPage::kSubtractRuleId, QStringLiteral("2、减法规则"), QStringLiteral("减法规则"),
       QStringLiteral("减法规则说明：\n\n1、设置“AAA-BBB”，即减号后面的关键词一个都不出现，"
                      "只出现第一个关键词，才认为非法；\n\n2、可以用减号“-”连接多个关键词，"
                      "如“AAA-BBB-CCC”；\n\n3、减号“+”和“-”不能同时使用；\n\n"
                      "4、如果关键词含有“-”，请适当调整关键词，或将“-”用“+”代替。")},
      {CWordsPage::kEqualsRuleId, QStringLiteral("3、等号规则"), QStringLiteral("等号规则"),
       QStringLiteral("等号规则说明：\n\n1、设置“AAA=BBB”，即可将AAA替换成BBB，"
                      "发送到客户端浏览器；\n\n2、如果不设置，默认替换为“*”；\n\n"
                      "3、如果两侧长度不等，系统会自动截取；\n\n4、仅替换关键词支持该规则。")},
  };
  return kHelp[index];
}

// A static text that reacts to clicks.
class CRuleLink : public QLabel {
 public:
  CRuleLink(const QString& text, std::function<void()> onClick, QWidget* parent)
      : QLabel(text, parent), onClick_(std::move(onClick)) {
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_TranslucentBackground);
    setStyleSheet(QStringLiteral("QLabel { color: #0000ff; background: transparent; }"));
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

QString DatabaseFailure(store::StoreOutcome outcome, const std::string& path) {
  const QString file = QString::fromStdString(path);
  if (outcome == store::StoreOutcome::ReadFailed) {
    return QStringLiteral("无法读取词库文件 %1，未保存。请检查文件权限后再试。").arg(file);
  }
  return QStringLiteral(
             "无法写入词库文件 %1，未保存（原文件保持不变）。请检查磁盘空间和文件权限后再试。")
      .arg(file);
}

}  // namespace

CWordsPage::CWordsPage(ConsoleState& state, MessageBoxes& boxes, WordsPageKind kind,
                       QWidget* parent)
    : QWidget(parent), state_(state), boxes_(boxes), kind_(std::move(kind)) {
  BuildControls();

  firstLoad_.setSingleShot(true);
  firstLoad_.setInterval(kind_.firstLoadMs);
  connect(&firstLoad_, &QTimer::timeout, this, [this] { Load(); });
  firstLoad_.start();

  if (kind_.changePoll) {
    changePoll_.setInterval(kChangePollMs);
    connect(&changePoll_, &QTimer::timeout, this, [this] { OnChangePoll(); });
    changePoll_.start();
  }
}

void CWordsPage::BuildControls() {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(6);

  auto* top = new QHBoxLayout;
  auto* caption = new QLabel(kind_.caption, this);
  caption->setObjectName(QStringLiteral("caption"));
  top->addWidget(caption, 1);
  top->addWidget(new QLabel(QStringLiteral("共"), this));
  count_ = new QLabel(QStringLiteral("0"), this);
  count_->setObjectName(QStringLiteral("label%1").arg(kCountId));
  top->addWidget(count_);
  layout->addLayout(top);

  list_ = new QPlainTextEdit(this);
  list_->setObjectName(QStringLiteral("list%1").arg(kListId));
  // Long lists stay responsive only without wrapping: every line is then one block.
  list_->setLineWrapMode(QPlainTextEdit::NoWrap);
  list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  list_->setTabChangesFocus(true);
  list_->installEventFilter(this);
  layout->addWidget(list_, 1);

  auto* bottom = new QHBoxLayout;
  if (kind_.ruleLinks > 0) {
    bottom->addWidget(new QLabel(QStringLiteral("支持规则："), this));
    for (int i = 0; i < kind_.ruleLinks; ++i) {
      const RuleHelp& help = HelpFor(i);
      const int id = help.id;
      auto* link = new CRuleLink(
          help.link, [this, id] { ShowRuleHelp(id); }, this);
      link->setObjectName(QStringLiteral("link%1").arg(id));
      links_[i] = link;
      bottom->addWidget(link);
    }
  }
  bottom->addStretch(1);
  if (kind_.onlineFetch) {
    onlineFetch_ = MakeButton(kOnlineFetchId, QStringLiteral("在线获取"), this);
    connect(onlineFetch_, &QPushButton::clicked, this, [this] { OnlineFetch(); });
    bottom->addWidget(onlineFetch_);
  }
  refresh_ = MakeButton(kind_.refreshId, QStringLiteral("刷 新"), this);
  connect(refresh_, &QPushButton::clicked, this, [this] { Refresh(); });
  bottom->addWidget(refresh_);
  save_ = MakeButton(kSaveId, kSaveCaption, this);
  connect(save_, &QPushButton::clicked, this, [this] { Save(); });
  bottom->addWidget(save_);
  layout->addLayout(bottom);
}

QLabel* CWordsPage::RuleLink(int linkId) const {
  for (QLabel* link : links_) {
    if (link != nullptr && link->objectName() == QStringLiteral("link%1").arg(linkId)) return link;
  }
  return nullptr;
}

void CWordsPage::Load() {
  state_.SetStatusText(Gbk(QStringLiteral("正在显示词库...")));
  loadedSection_ = state_.Database().GetSection(kind_.section);
  list_->setPlainText(EditTextToEditor(store::KeywordSectionToEdit(loadedSection_)));
  Recount();
}

void CWordsPage::Refresh() {
  refresh_->setEnabled(false);
  // The list as stored now: orvctl, the online fetch or the service may have written it
  // since the console started. An unreadable file leaves the copy in memory as it is.
  const store::SectionRead onDisk =
      store::ReadSectionFromDisk(state_.DatabasePath(), kind_.section);
  if (onDisk.ok) state_.Database().SetSection(kind_.section, onDisk.section);
  Load();
  state_.SetStatusText("0");
  refresh_->setEnabled(true);
}

bool CWordsPage::Save() {
  const QString text = list_->toPlainText();
  if (!kind_.savingText.isEmpty()) state_.SetStatusText(Gbk(kind_.savingText));
  save_->setText(kSavingCaption);
  save_->setEnabled(false);
  Recount();

  const store::GbkEncoding edit = EditorToEditText(text);
  if (!edit.ok) {
    boxes_.Show(this, BoxIcon::Warning, kMessageCaption, RefusedCharacterMessage(edit));
    FinishSave(false);
    return false;
  }
  const std::string section = store::KeywordEditToSection(edit.gbk);
  const std::string& path = state_.DatabasePath();
  store::StoreOutcome outcome =
      store::SaveSectionToDisk(path, kind_.section, section, &loadedSection_);
  if (outcome == store::StoreOutcome::ChangedOnDisk) {
    const BoxAnswer answer = boxes_.Show(
        this, BoxIcon::Question, kMessageCaption,
        QStringLiteral("“%1”在本页载入之后已被其他程序修改。\n\n要用本页的内容覆盖它吗？"
                       "选择“否”将不保存，可先点“刷 新”查看文件中的内容。")
            .arg(kind_.caption.section(QStringLiteral("（"), 0, 0)),
        BoxButtons::YesNo);
    if (answer != BoxAnswer::Yes) {
      FinishSave(false);
      return false;
    }
    outcome = store::SaveSectionToDisk(path, kind_.section, section);
  }
  if (outcome != store::StoreOutcome::Done) {
    boxes_.Show(this, BoxIcon::Error, kMessageCaption, DatabaseFailure(outcome, path));
    FinishSave(false);
    return false;
  }
  state_.Database().SetSection(kind_.section, section);
  loadedSection_ = section;
  FinishSave(true);
  return true;
}

void CWordsPage::FinishSave(bool saved) {
  save_->setEnabled(true);
  save_->setText(kSaveCaption);
  if (!saved) {
    state_.SetStatusText(Gbk(QStringLiteral("未保存。")));
    return;
  }
  state_.SetStatusText(Gbk(kind_.doneText));
  boxes_.Show(this, BoxIcon::Information, kMessageCaption, QStringLiteral("保存完毕。"));
}

void CWordsPage::Recount() {
  const std::size_t groups = store::KeywordGroupCount(EditorToUtf8EditText(list_->toPlainText()));
  count_->setText(QStringLiteral("%1组").arg(groups));
}

void CWordsPage::ShowRuleHelp(int linkId) {
  for (int i = 0; i < 3; ++i) {
    const RuleHelp& help = HelpFor(i);
    if (help.id == linkId) {
      boxes_.Show(this, BoxIcon::Information, help.caption, help.text);
      return;
    }
  }
}

void CWordsPage::OnlineFetch() {
  if (onlineFetch_ == nullptr || fetching_) return;
  const BoxAnswer answer =
      boxes_.Show(this, BoxIcon::Question, QStringLiteral("Orvane"),
                  QStringLiteral("确定要从官方获取拦截关键词吗？获取后将差分到本地，确定吗？"),
                  BoxButtons::YesNo);
  if (answer != BoxAnswer::Yes) return;

  fetching_ = true;
  onlineFetch_->setEnabled(false);
  state_.SetStatusText(online::StatusFetching());
  const online::FetchOutcome outcome =
      online::FetchKeywords(state_.Settings(), state_.DatabasePath(), transport_,
                            [this] { state_.SetStatusText(online::StatusParsing()); });
  state_.SetStatusText(std::string(online::kStatusIdle));
  onlineFetch_->setEnabled(true);
  fetching_ = false;

  ShowOnlineNotice(boxes_, this, outcome.notice);
  if (outcome.listsChanged) {
    state_.replaceListChanged = true;
    Refresh();
  }
}

void CWordsPage::OnChangePoll() {
  if (state_.replaceListChanged.exchange(false)) Refresh();
}

bool CWordsPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_ &&
      (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (IsEscape(key)) return true;
    if (IsEnter(key)) {
      // Counted before the line break is typed (press) and after it (release).
      Recount();
      return false;
    }
    if (event->type() == QEvent::KeyPress) {
      if (IsCtrlLetter(key, Qt::Key_A)) {
        SelectWholeList(list_);
        return true;
      }
      if (IsCtrlLetter(key, Qt::Key_S)) {
        Save();
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

void CWordsPage::keyPressEvent(QKeyEvent* event) {
  // The page never closes on Escape, and Enter anywhere on it recounts.
  if (IsEscape(event)) {
    event->accept();
    return;
  }
  if (IsEnter(event)) Recount();
  QWidget::keyPressEvent(event);
}

CDenyWordsPage::CDenyWordsPage(ConsoleState& state, MessageBoxes& boxes, QWidget* parent)
    : CWordsPage(
          state, boxes,
          {store::Section::Deny, QStringLiteral("拦截关键词（将禁止输出含有关键词的网页到浏览器）"),
           1037, 2, QStringLiteral("正在保存拦截关键词..."),
           QStringLiteral("保存拦截关键词完毕，重启IIS后生效。"), 200, true, false},
          parent) {
  setObjectName(QStringLiteral("CDenyWordsPage"));
}

CReplaceWordsPage::CReplaceWordsPage(ConsoleState& state, MessageBoxes& boxes, QWidget* parent)
    : CWordsPage(
          state, boxes,
          {store::Section::Replace, QStringLiteral("替换关键词（将关键词替换为*输出到浏览器）"),
           1021, 3, QStringLiteral("正在保存替换关键词..."),
           QStringLiteral("保存替换关键词完毕，重启IIS后生效。"), 200, false, true},
          parent) {
  setObjectName(QStringLiteral("CReplaceWordsPage"));
}

CRecordWordsPage::CRecordWordsPage(ConsoleState& state, MessageBoxes& boxes, QWidget* parent)
    : CWordsPage(
          state, boxes,
          {store::Section::Record,
           QStringLiteral("记录关键词（记录含有关键词的网页，不影响网页的正常访问）"), 1037, 2,
           QString(), QStringLiteral("保存记录关键词完毕，重启IIS后生效。"), 200, false, false},
          parent) {
  setObjectName(QStringLiteral("CRecordWordsPage"));
}

CFreeWordsPage::CFreeWordsPage(ConsoleState& state, MessageBoxes& boxes, QWidget* parent)
    : CWordsPage(state, boxes,
                 {store::Section::Free, QStringLiteral("白名单词库（含有关键词的网页将被放行）"),
                  1037, 0, QStringLiteral("正在保存白名单关键词..."),
                  QStringLiteral("保存设置完毕，重启IIS后生效。"), 300, false, false},
                 parent) {
  setObjectName(QStringLiteral("CFreeWordsPage"));
}

}  // namespace orv::console
