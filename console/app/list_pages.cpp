#include "console/app/list_pages.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "console/app/console_state.h"
#include "console/app/page_keys.h"
#include "console/app/page_text.h"
#include "console/foundation/desktop_services.h"
#include "console/foundation/skin_button.h"
#include "store/edit_forms.h"
#include "store/section_store.h"

namespace orv::console {
namespace {

const QString kMessageCaption = QStringLiteral("消息");

}  // namespace

CListPage::CListPage(ConsoleState& state, MessageBoxes& boxes, ListPageKind kind, QWidget* parent)
    : QWidget(parent), state_(state), boxes_(boxes) {
  urls_.title = kind.urlTitle;
  urls_.key = kind.urlKey;
  ips_.title = kind.ipTitle;
  ips_.key = kind.ipKey;

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(6);
  auto* lists = new QHBoxLayout;
  lists->addWidget(BuildList(urls_, kUrlListId, kUrlCountId), 1);
  lists->addWidget(BuildList(ips_, kIpListId, kIpCountId), 1);
  layout->addLayout(lists, 1);

  auto* bottom = new QHBoxLayout;
  auto* note = new QLabel(QStringLiteral("注意：黑名单优先级高于白名单。"), this);
  note->setStyleSheet(QStringLiteral("color: #c00000;"));
  bottom->addWidget(note, 1);
  save_ = new CSkinButton(this);
  save_->setObjectName(QStringLiteral("button%1").arg(kSaveId));
  save_->setText(QStringLiteral("保 存"));
  save_->setFixedSize(72, 26);
  save_->setCursor(Qt::PointingHandCursor);
  connect(save_, &QPushButton::clicked, this, [this] { Save(); });
  bottom->addWidget(save_);
  layout->addLayout(bottom);

  Load();
}

QWidget* CListPage::BuildList(List& list, int listId, int countId) {
  auto* box = new QWidget(this);
  auto* column = new QVBoxLayout(box);
  column->setContentsMargins(0, 0, 0, 0);
  auto* head = new QHBoxLayout;
  head->addWidget(new QLabel(list.title, box), 1);
  list.count = new QLabel(QStringLiteral("0"), box);
  list.count->setObjectName(QStringLiteral("label%1").arg(countId));
  head->addWidget(list.count);
  column->addLayout(head);
  list.list = new QPlainTextEdit(box);
  list.list->setObjectName(QStringLiteral("list%1").arg(listId));
  list.list->setLineWrapMode(QPlainTextEdit::NoWrap);
  list.list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  list.list->setTabChangesFocus(true);
  list.list->installEventFilter(this);
  column->addWidget(list.list, 1);
  List* target = &list;
  connect(list.list, &QPlainTextEdit::textChanged, this, [this, target] { Recount(*target); });
  return box;
}

void CListPage::Load() {
  for (List* list : {&urls_, &ips_}) {
    list->loaded = state_.Settings().ReadKey(list->key);
    list->list->setPlainText(EditTextToEditor(store::ListValueToEdit(list->loaded)));
    Recount(*list);
  }
}

bool CListPage::Save() {
  // Both lists are converted before either is written, so a refused character leaves both
  // keys as they were.
  std::string values[2];
  List* lists[2] = {&urls_, &ips_};
  for (int i = 0; i < 2; ++i) {
    const store::GbkEncoding edit = EditorToEditText(lists[i]->list->toPlainText());
    if (!edit.ok) {
      boxes_.Show(this, BoxIcon::Warning, kMessageCaption,
                  lists[i]->title + QStringLiteral("：") + RefusedCharacterMessage(edit));
      return false;
    }
    values[i] = store::ListEditToValue(edit.gbk);
  }

  store::SettingsFile& settings = state_.Settings();
  for (int i = 0; i < 2; ++i) {
    List& list = *lists[i];
    store::StoreOutcome outcome = store::SaveKeyToDisk(settings, list.key, values[i], &list.loaded);
    if (outcome == store::StoreOutcome::ChangedOnDisk) {
      const BoxAnswer answer = boxes_.Show(
          this, BoxIcon::Question, kMessageCaption,
          QStringLiteral("“%1”在本页载入之后已被其他程序修改。\n\n要用本页的内容覆盖它吗？"
                         "选择“否”将不保存这一列表。")
              .arg(list.title),
          BoxButtons::YesNo);
      if (answer != BoxAnswer::Yes) {
        state_.SetStatusText(Gbk(list.title + QStringLiteral("未保存。")));
        return false;
      }
      outcome = store::SaveKeyToDisk(settings, list.key, values[i]);
    }
    if (outcome != store::StoreOutcome::Done) {
      boxes_.Show(this, BoxIcon::Error, kMessageCaption,
                  QStringLiteral("无法写入设置文件 %1，%2未保存（原文件保持不变）。"
                                 "请检查文件权限后再试。")
                      .arg(QString::fromStdString(settings.Path()), list.title));
      state_.SetStatusText(Gbk(list.title + QStringLiteral("未保存。")));
      return false;
    }
    list.loaded = values[i];
  }
  state_.SetStatusText(Gbk(QStringLiteral("保存设置完毕，重启IIS后生效。")));
  boxes_.Show(this, BoxIcon::Information, kMessageCaption, QStringLiteral("保存完毕。"));
  return true;
}

void CListPage::Recount(List& list) {
  const std::size_t groups =
      store::ListGroupCount(EditorToEditTextForCount(list.list->toPlainText()));
  list.count->setText(QStringLiteral("%1组").arg(groups));
}

void CListPage::RecountUrls() {
  Recount(urls_);
}
void CListPage::RecountIps() {
  Recount(ips_);
}

bool CListPage::eventFilter(QObject* watched, QEvent* event) {
  auto* list = qobject_cast<QPlainTextEdit*>(watched);
  if ((list == urls_.list || list == ips_.list) && list != nullptr &&
      event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (IsEscape(key)) return true;
    if (IsCtrlLetter(key, Qt::Key_A)) {
      SelectWholeList(list);
      return true;
    }
    if (IsCtrlLetter(key, Qt::Key_S)) {
      Save();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void CListPage::keyPressEvent(QKeyEvent* event) {
  if (IsEscape(event)) {
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

CBlackListPage::CBlackListPage(ConsoleState& state, MessageBoxes& boxes, QWidget* parent)
    : CListPage(state, boxes,
                {QStringLiteral("URL黑名单"), store::keys::kHeiUrl, QStringLiteral("IP黑名单"),
                 store::keys::kHeiIp},
                parent) {
  setObjectName(QStringLiteral("CBlackListPage"));
}

CWhiteListPage::CWhiteListPage(ConsoleState& state, MessageBoxes& boxes, QWidget* parent)
    : CListPage(state, boxes,
                {QStringLiteral("URL白名单"), store::keys::kBaiUrl, QStringLiteral("IP白名单"),
                 store::keys::kBaiIp},
                parent) {
  setObjectName(QStringLiteral("CWhiteListPage"));
}

}  // namespace orv::console
