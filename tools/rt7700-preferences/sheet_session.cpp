#include "sheet_session.h"

#include <algorithm>
#include <utility>

#include "platform/ui_hooks.h"
#include "platform/utf16.h"
#include "win/dialogs.h"

namespace rt7700prefs {
namespace {

namespace pui = platform::ui;

std::string KindName(const std::string& kind) {
  if (kind == "push") return "a push button";
  if (kind == "check") return "a check box";
  if (kind == "radio") return "a radio button";
  if (kind == "group") return "a group box";
  if (kind == "edit") return "an edit box";
  if (kind == "combo") return "a combo box";
  if (kind == "list") return "a list box";
  if (kind == "static") return "a label";
  if (kind == "updown") return "an up-down control";
  if (kind == "trackbar") return "a track bar";
  return "a " + kind;
}

// The kinds an action works on, and how a message names them.
std::pair<std::vector<std::string>, std::string> KindsFor(Verb verb) {
  switch (verb) {
    case Verb::Choose:
    case Verb::SelectIndex: return {{"combo", "list"}, "a combo box or list box"};
    case Verb::Check: return {{"check", "radio"}, "a check box or radio button"};
    case Verb::Type: return {{"edit", "combo"}, "an edit box or combo box"};
    case Verb::Click: return {{"push", "check", "radio"}, "a button"};
    case Verb::DoubleClick: return {{"list"}, "a list box"};
    case Verb::Spin: return {{"updown"}, "an up-down control"};
    case Verb::Slide: return {{"trackbar"}, "a track bar"};
    default: return {{}, ""};
  }
}

std::u16string Lower(std::u16string text) {
  for (auto& c : text) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return text;
}

std::string Quoted(const std::u16string& text) { return "\"" + platform::Utf16ToUtf8(text) + "\""; }

std::string AnswerName(int answer) {
  switch (answer) {
    case IDYES: return "yes";
    case IDNO: return "no";
    case IDOK: return "ok";
    case IDCANCEL: return "cancel";
    default: return std::to_string(answer);
  }
}

std::optional<pui::ControlInfo> Describe(HWND dialog, HWND control) {
  for (auto& c : pui::DescribeControls(dialog)) {
    if (c.window == control) return c;
  }
  return std::nullopt;
}

}  // namespace

std::optional<RunError> SheetSession::Run(const std::vector<Action>& actions) {
  ReportMessageBoxes();  // what the pages said as they opened
  for (const Action& a : actions) {
    if (auto e = Play(a, nullptr)) return e;
  }
  for (const auto& [block, ran] : modalBlocks_) {
    if (!ran) return RunError{kExitBadScript, block->where + ": no dialog opened for this modal block"};
  }
  return std::nullopt;
}

std::optional<RunError> SheetSession::Play(const Action& a, HWND modal) {
  std::optional<RunError> failure;
  auto refused = [&](std::string what) { return RunError{kExitRefused, a.where + ": " + what}; };
  auto bad = [&](std::string what) { return RunError{kExitBadScript, a.where + ": " + what}; };
  auto closeModal = [&](int button) {
    HWND control = pui::FindControl(modal, button);
    if (control == nullptr || !pui::Click(control)) EndDialog(modal, button);
  };
  if (!sheet_.IsOpen()) return bad("the sheet is closed");
  switch (a.verb) {
    case Verb::Page: {
      std::optional<size_t> index;
      if (a.number > 0 && static_cast<size_t>(a.number) <= sheet_.PageCount()) index = static_cast<size_t>(a.number - 1);
      std::u16string wanted = Lower(platform::Utf8ToUtf16(a.text));
      std::string titles;
      for (size_t i = 0; i < sheet_.PageCount() && !index; ++i) {
        if (Lower(sheet_.PageTitle(i)) == wanted) index = i;
        titles += (i > 0 ? ", " : "") + Quoted(sheet_.PageTitle(i));
      }
      if (!index) return bad("no page \"" + a.text + "\" (the pages: " + titles + ")");
      if (!sheet_.SwitchTo(*index))
        failure = refused("page " + Quoted(sheet_.PageTitle(static_cast<size_t>(sheet_.CurrentPage()))) +
                          " refused to be left");
      break;
    }
    case Verb::Answer:
      answers_.insert(answers_.end(), a.answers.begin(), a.answers.end());
      platform::hooks::QueueMessageBoxAnswers(answers_);
      break;
    case Verb::AnswerColor: pui::QueueColorAnswers({a.color}); break;
    case Verb::AnswerFile:
      pui::QueueOpenFileAnswers(
          {a.cancelled ? std::nullopt : std::optional<std::u16string>(platform::Utf8ToUtf16(a.text))});
      break;
    case Verb::Wait:
      pui::AdvanceTime(static_cast<uint32_t>(a.number));
      pui::PumpMessages();
      break;
    case Verb::Modal: {
      size_t index = modalBlocks_.size();
      modalBlocks_.emplace_back(&a, false);
      pui::QueueModalScript([this, &a, index](HWND dialog) {
        modalBlocks_[index].second = true;
        for (const Action& inner : a.body) {
          if (auto e = Play(inner, dialog)) {
            if (!modalFailure_) modalFailure_ = e;
            break;  // the platform cancels a dialog its script leaves open
          }
          if (!IsWindow(dialog)) break;
        }
      });
      break;
    }
    case Verb::Apply:
      if (!sheet_.ApplyEnabled()) {
        failure = refused("apply: the Apply button is disabled (nothing has changed)");
      } else if (!sheet_.Apply()) {
        failure = refused("apply: page " + Quoted(sheet_.PageTitle(static_cast<size_t>(sheet_.CurrentPage()))) +
                          " refused the settings");
      }
      break;
    case Verb::Ok:
      if (modal != nullptr) {
        closeModal(IDOK);
      } else if (!sheet_.Ok()) {
        failure = refused("ok: page " + Quoted(sheet_.PageTitle(static_cast<size_t>(sheet_.CurrentPage()))) +
                          " refused the settings");
      }
      break;
    case Verb::Cancel:
      if (modal != nullptr) {
        closeModal(IDCANCEL);
      } else if (!sheet_.Cancel()) {
        failure = refused("cancel: page " + Quoted(sheet_.PageTitle(static_cast<size_t>(sheet_.CurrentPage()))) +
                          " refused to close");
      }
      break;
    default: failure = OnControl(a, modal != nullptr ? modal : sheet_.Page()); break;
  }
  ReportMessageBoxes();
  if (!failure && modal == nullptr && modalFailure_) failure = std::exchange(modalFailure_, std::nullopt);
  return failure;
}

std::optional<RunError> SheetSession::OnControl(const Action& a, HWND dialog) {
  const bool onPage = dialog == sheet_.Page();
  const std::string place =
      onPage ? "on page " + Quoted(sheet_.PageTitle(static_cast<size_t>(sheet_.CurrentPage()))) : "in the dialog";
  auto refused = [&](std::string what) { return RunError{kExitRefused, a.where + ": " + what}; };
  auto bad = [&](std::string what) { return RunError{kExitBadScript, a.where + ": " + what}; };

  HWND control = nullptr;
  if (a.control.id) {
    control = pui::FindControl(dialog, *a.control.id);
  } else {
    control = pui::FindControlByText(dialog, platform::Utf8ToUtf16(a.control.text));
    // A label names the control after it, as its keyboard shortcut would.
    auto all = pui::DescribeControls(dialog);
    for (size_t i = 0; control != nullptr && i < all.size(); ++i) {
      if (all[i].window != control) continue;
      if ((all[i].kind == "static" || all[i].kind == "group") && i + 1 < all.size()) control = all[i + 1].window;
      break;
    }
  }
  auto info = control != nullptr ? Describe(dialog, control) : std::nullopt;
  if (!info) return bad("no " + a.control.Describe() + " " + place);
  // A button's text is its label; an edit's or a combo box's is what it holds.
  const bool labelled = info->kind == "push" || info->kind == "check" || info->kind == "radio" ||
                        info->kind == "group" || info->kind == "static";
  const std::string name = "control " + std::to_string(info->id) +
                           (labelled && !info->text.empty() ? " " + Quoted(info->text) : std::string());

  auto [kinds, kindText] = KindsFor(a.verb);
  if (!kinds.empty() && std::find(kinds.begin(), kinds.end(), info->kind) == kinds.end())
    return bad(name + " is " + KindName(info->kind) + ", not " + kindText);
  if (!info->enabled) return refused(name + " is disabled");
  if (!info->visible) return refused(name + " is hidden");

  bool done = false;
  switch (a.verb) {
    case Verb::Choose: {
      std::u16string wanted = Lower(platform::Utf8ToUtf16(a.text));
      bool listed = std::any_of(info->items.begin(), info->items.end(),
                                [&](const std::u16string& item) { return Lower(item) == wanted; });
      if (!listed) {
        std::string entries;
        for (size_t i = 0; i < info->items.size(); ++i) entries += (i > 0 ? ", " : "") + Quoted(info->items[i]);
        return bad(name + " has no entry \"" + a.text + "\"" +
                   (entries.empty() ? std::string(" (it is empty)") : " (entries: " + entries + ")"));
      }
      done = pui::Choose(control, platform::Utf8ToUtf16(a.text));
      break;
    }
    case Verb::SelectIndex:
      if (static_cast<size_t>(a.number) >= info->items.size())
        return bad(name + " has " + std::to_string(info->items.size()) + " entries; " + std::to_string(a.number) +
                   " is past the last (0 is the first)");
      done = pui::ChooseIndex(control, static_cast<int>(a.number));
      break;
    case Verb::Check: done = pui::SetChecked(control, a.on); break;
    case Verb::Type: {
      // Keys the control refuses (ES_NUMBER, its limit) are dropped as a user's would be.
      done = pui::Type(control, platform::Utf8ToUtf16(a.text));
      auto after = Describe(dialog, control);
      if (!done || (after && after->text != platform::Utf8ToUtf16(a.text)))
        return refused(name + " refused the text \"" + a.text + "\"" +
                       (done && after ? " (it holds " + Quoted(after->text) + ")" : std::string()));
      break;
    }
    case Verb::Click: done = pui::Click(control); break;
    case Verb::DoubleClick:
      if (info->selection < 0) return refused(name + " has no selected entry to double-click");
      done = pui::DoubleClick(control);
      break;
    case Verb::Spin: done = pui::Spin(control, static_cast<int>(a.number)); break;
    case Verb::Slide: done = pui::Slide(control, static_cast<int>(a.number)); break;
    case Verb::Help: done = pui::Help(control); break;
    default: break;
  }
  if (!done) return refused(name + " refused the action");
  return std::nullopt;
}

std::optional<RunError> SheetSession::Close(bool apply) {
  std::optional<RunError> failure;
  if (sheet_.IsOpen()) {
    if (apply && !sheet_.Ok()) {
      failure = RunError{kExitRefused, "ok: page " + Quoted(sheet_.PageTitle(static_cast<size_t>(sheet_.CurrentPage()))) +
                                           " refused the settings; nothing was applied"};
      ReportMessageBoxes();
      sheet_.Cancel();
    } else if (!apply) {
      sheet_.Cancel();
    }
  }
  ReportMessageBoxes();
  return failure;
}

void SheetSession::ReportMessageBoxes() {
  auto boxes = platform::hooks::TakeMessageBoxes();
  for (const auto& box : boxes) {
    std::fprintf(log_, "rt7700-preferences: message %s: %s\n", Quoted(box.text).c_str(), AnswerName(box.answer).c_str());
  }
  if (boxes.empty() || answers_.empty()) return;
  answers_.erase(answers_.begin(), answers_.begin() + static_cast<long>(std::min(boxes.size(), answers_.size())));
  platform::hooks::QueueMessageBoxAnswers(answers_);
}

std::optional<platform::ui::Picture> SheetSession::CurrentPreview() const {
  std::optional<pui::Picture> best;
  if (!sheet_.IsOpen()) return best;
  for (const auto& c : pui::DescribeControls(sheet_.Page())) {
    if (!c.visible) continue;
    auto picture = pui::LastPicture(c.window);
    if (!picture || picture->width <= 0 || picture->height <= 0) continue;
    // A page's preview is its largest drawing (owner-drawn lists and buttons are smaller).
    if (!best || picture->width * picture->height > best->width * best->height) best = std::move(picture);
  }
  return best;
}

void SheetSession::VisitAllPages() {
  if (!sheet_.IsOpen()) return;
  const int current = sheet_.CurrentPage();
  bool moved = false;
  for (size_t i = 0; i < sheet_.PageCount(); ++i) {
    if (sheet_.PageWindow(i) == nullptr) moved = sheet_.SwitchTo(i) || moved;
  }
  if (moved && current >= 0) sheet_.SwitchTo(static_cast<size_t>(current));
}

}  // namespace rt7700prefs
