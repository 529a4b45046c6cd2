#include "script.h"

#include <charconv>
#include <cctype>
#include <cstdio>
#include <string_view>
#include <map>

namespace rt7700prefs {
namespace {

constexpr int kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7;

struct Token {
  enum Kind { Word, String, Open, Close, End } kind = End;
  std::string text;
  int line = 1;
};

struct Failure {
  int line;
  std::string message;
};

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(c));
      out += hex;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// Words, quoted strings (with \" \\ \n \t), braces, and the ends of actions (a line's end or ';').
std::variant<std::vector<Token>, Failure> Tokens(const std::string& text) {
  std::vector<Token> out;
  int line = 1;
  size_t i = 0;
  auto end = [&] {
    if (!out.empty() && out.back().kind != Token::End) out.push_back({Token::End, "", line});
  };
  while (i < text.size()) {
    char c = text[i];
    if (c == '\n') {
      end();
      ++line, ++i;
    } else if (c == ';') {
      end();
      ++i;
    } else if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
    } else if (c == '#' && (out.empty() || out.back().kind == Token::End || i + 1 == text.size() ||
                            std::string_view(" \t\r\n").find(text[i + 1]) != std::string_view::npos)) {
      // A comment: '#' first on a line or before a space; #ff8000 is a word.
      while (i < text.size() && text[i] != '\n') ++i;
    } else if (c == '{' || c == '}') {
      out.push_back({c == '{' ? Token::Open : Token::Close, std::string(1, c), line});
      ++i;
    } else if (c == '"') {
      Token t{Token::String, "", line};
      ++i;
      for (;;) {
        if (i >= text.size() || text[i] == '\n') return Failure{t.line, "expected a closing quote"};
        char s = text[i++];
        if (s == '"') break;
        if (s == '\\') {
          if (i >= text.size() || text[i] == '\n') return Failure{t.line, "expected a character after \\"};
          char e = text[i++];
          if (e == 'n') t.text += '\n';
          else if (e == 't') t.text += '\t';
          else if (e == '"' || e == '\\') t.text += e;
          else return Failure{t.line, std::string("unknown escape \\") + e + " (use \\\", \\\\, \\n or \\t)"};
        } else {
          t.text += s;
        }
      }
      out.push_back(std::move(t));
    } else {
      Token t{Token::Word, "", line};
      while (i < text.size() && std::string_view(" \t\r\n;{}\"").find(text[i]) == std::string_view::npos)
        t.text += text[i++];
      out.push_back(std::move(t));
    }
  }
  end();
  return out;
}

std::optional<long> Number(const std::string& text, long low, long high) {
  long value = 0;
  const char* first = text.data();
  if (!text.empty() && text[0] == '+') ++first;
  auto [ptr, ec] = std::from_chars(first, text.data() + text.size(), value);
  if (ec != std::errc() || ptr != text.data() + text.size() || first == text.data() + text.size()) return std::nullopt;
  if (value < low || value > high) return std::nullopt;
  return value;
}

const std::map<std::string, Verb>& Verbs() {
  static const std::map<std::string, Verb> verbs{
      {"page", Verb::Page},       {"choose", Verb::Choose},          {"select-index", Verb::SelectIndex},
      {"check", Verb::Check},     {"type", Verb::Type},              {"click", Verb::Click},
      {"double-click", Verb::DoubleClick}, {"spin", Verb::Spin},     {"slide", Verb::Slide},
      {"help", Verb::Help},       {"answer", Verb::Answer},          {"answer-color", Verb::AnswerColor},
      {"answer-file", Verb::AnswerFile},   {"wait", Verb::Wait},     {"modal", Verb::Modal},
      {"apply", Verb::Apply},     {"ok", Verb::Ok},                  {"cancel", Verb::Cancel},
  };
  return verbs;
}

class Parser {
 public:
  Parser(const ScriptSource& source, std::vector<Token> tokens) : source_(source), tokens_(std::move(tokens)) {}

  // Actions up to the end of the source (top level) or to the closing brace (a modal block).
  std::optional<Failure> Block(std::vector<Action>& out, bool modal, int openLine) {
    std::optional<std::string> closedBy;  // ok/cancel ends what the block acts on
    for (;;) {
      while (pos_ < tokens_.size() && tokens_[pos_].kind == Token::End) ++pos_;
      if (pos_ >= tokens_.size()) {
        if (modal) return Failure{openLine, "expected } to close the modal block"};
        return std::nullopt;
      }
      const Token& first = tokens_[pos_];
      if (first.kind == Token::Close) {
        if (!modal) return Failure{first.line, "unexpected }: no modal block is open"};
        ++pos_;
        return std::nullopt;
      }
      if (first.kind != Token::Word)
        return Failure{first.line, "expected an action, got " + (first.kind == Token::String ? Quoted(first.text) : first.text)};
      auto verb = Verbs().find(first.text);
      if (verb == Verbs().end()) return Failure{first.line, "unknown action " + Quoted(first.text)};
      if (closedBy)
        return Failure{first.line, modal ? "the dialog is already closed by " + *closedBy
                                         : "the sheet is already closed by " + *closedBy};
      ++pos_;
      std::vector<Token> args;
      while (pos_ < tokens_.size() && (tokens_[pos_].kind == Token::Word || tokens_[pos_].kind == Token::String))
        args.push_back(tokens_[pos_++]);
      Action a;
      a.verb = verb->second;
      a.where = Where(first.line);
      if (auto f = Arguments(a, first, args, modal)) return f;
      if (a.verb == Verb::Modal) {
        if (pos_ >= tokens_.size() || tokens_[pos_].kind != Token::Open)
          return Failure{first.line, "expected { after modal"};
        ++pos_;
        if (auto f = Block(a.body, true, first.line)) return f;
      }
      if (pos_ < tokens_.size() && tokens_[pos_].kind == Token::Open)
        return Failure{tokens_[pos_].line, "unexpected {: only modal takes a block"};
      if (a.verb == Verb::Ok || a.verb == Verb::Cancel) closedBy = first.text + " on " + a.where;
      out.push_back(std::move(a));
    }
  }

  std::string Where(int line) const {
    if (source_.single && source_.text.find('\n') == std::string::npos) return source_.name;
    return source_.name + " line " + std::to_string(line);
  }

 private:
  std::optional<Failure> Arguments(Action& a, const Token& verb, const std::vector<Token>& args, bool modal) {
    const std::string& name = verb.text;
    auto count = [&](size_t n, const char* usage) -> std::optional<Failure> {
      if (args.size() == n) return std::nullopt;
      return Failure{verb.line, "expected " + std::string(usage)};
    };
    auto control = [&]() {
      const Token& t = args[0];
      if (t.kind == Token::Word && std::isdigit(static_cast<unsigned char>(t.text[0])) != 0) {
        if (auto id = Number(t.text, 1, 65535)) {
          a.control.id = static_cast<int>(*id);
          return std::optional<Failure>();
        }
        return std::optional<Failure>(Failure{verb.line, "expected a control id from 1 to 65535, got " + Quoted(t.text)});
      }
      if (t.text.empty()) return std::optional<Failure>(Failure{verb.line, "expected a control id or label, got \"\""});
      a.control.text = t.text;
      return std::optional<Failure>();
    };
    auto numberAt = [&](size_t i, long low, long high, const std::string& what) -> std::optional<Failure> {
      auto n = Number(args[i].text, low, high);
      if (!n || args[i].kind != Token::Word)
        return Failure{verb.line, "expected " + what + ", got " + Quoted(args[i].text)};
      a.number = *n;
      return std::nullopt;
    };
    switch (a.verb) {
      case Verb::Page: {
        if (modal) return Failure{verb.line, "page is for the sheet, not a modal dialog"};
        if (auto f = count(1, "a page title or number after page")) return f;
        if (args[0].kind == Token::Word) {
          if (auto n = Number(args[0].text, 1, 99)) a.number = *n;
        }
        a.text = args[0].text;
        if (a.text.empty()) return Failure{verb.line, "expected a page title, got \"\""};
        return std::nullopt;
      }
      case Verb::Choose:
        if (auto f = count(2, "a control and an entry after choose: choose 1300 \"4 Pages per Sheet\"")) return f;
        a.text = args[1].text;
        return control();
      case Verb::SelectIndex:
        if (auto f = count(2, "a control and a position after select-index: select-index 1500 0")) return f;
        if (auto f = numberAt(1, 0, 100000, "a position from 0")) return f;
        return control();
      case Verb::Check:
        if (auto f = count(2, "a control and on or off after check: check 1201 on")) return f;
        if (args[1].text != "on" && args[1].text != "off")
          return Failure{verb.line, "expected on or off after check, got " + Quoted(args[1].text)};
        a.on = args[1].text == "on";
        return control();
      case Verb::Type:
        if (auto f = count(2, "a control and a text after type: type 1110 \"Draft\"")) return f;
        a.text = args[1].text;
        return control();
      case Verb::Click:
      case Verb::DoubleClick:
      case Verb::Help:
        if (auto f = count(1, ("a control after " + name).c_str())) return f;
        return control();
      case Verb::Spin:
        if (auto f = count(2, "a control and a number of steps after spin: spin 1310 -2")) return f;
        if (auto f = numberAt(1, -10000, 10000, "a number of steps from -10000 to 10000")) return f;
        return control();
      case Verb::Slide:
        if (auto f = count(2, "a control and a position after slide: slide 1320 5")) return f;
        if (auto f = numberAt(1, -100000, 100000, "a position")) return f;
        return control();
      case Verb::Answer:
        if (args.empty()) return Failure{verb.line, "expected yes, no, ok or cancel after answer"};
        for (const Token& t : args) {
          if (t.text == "yes") a.answers.push_back(kIdYes);
          else if (t.text == "no") a.answers.push_back(kIdNo);
          else if (t.text == "ok") a.answers.push_back(kIdOk);
          else if (t.text == "cancel") a.answers.push_back(kIdCancel);
          else return Failure{verb.line, "expected yes, no, ok or cancel after answer, got " + Quoted(t.text)};
        }
        return std::nullopt;
      case Verb::AnswerColor: {
        if (auto f = count(1, "#RRGGBB or cancel after answer-color")) return f;
        const std::string& t = args[0].text;
        if (t == "cancel") return std::nullopt;
        std::string hex = !t.empty() && t[0] == '#' ? t.substr(1) : t;
        unsigned value = 0;
        auto [ptr, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), value, 16);
        if (hex.size() != 6 || ec != std::errc() || ptr != hex.data() + hex.size())
          return Failure{verb.line, "expected #RRGGBB or cancel after answer-color, got " + Quoted(t)};
        a.color = ((value >> 16) & 0xff) | (value & 0xff00) | ((value & 0xff) << 16);  // as COLORREF
        return std::nullopt;
      }
      case Verb::AnswerFile:
        if (auto f = count(1, "a file name or cancel after answer-file")) return f;
        a.cancelled = args[0].kind == Token::Word && args[0].text == "cancel";
        a.text = args[0].text;
        if (a.text.empty()) return Failure{verb.line, "expected a file name, got \"\""};
        return std::nullopt;
      case Verb::Wait:
        if (auto f = count(1, "a number of milliseconds after wait")) return f;
        return numberAt(0, 0, 3600000, "milliseconds from 0 to 3600000");
      case Verb::Modal: return count(0, "{ after modal");
      case Verb::Apply:
        if (modal) return Failure{verb.line, "apply is for the sheet; a modal dialog closes with ok or cancel"};
        return count(0, "nothing after apply");
      case Verb::Ok:
      case Verb::Cancel: return count(0, ("nothing after " + name).c_str());
    }
    return std::nullopt;
  }

  const ScriptSource& source_;
  std::vector<Token> tokens_;
  size_t pos_ = 0;
};

}  // namespace

std::string ControlRef::Describe() const {
  return id ? "control " + std::to_string(*id) : "control " + Quoted(text);
}

std::variant<std::vector<Action>, ScriptError> ParseScript(const std::vector<ScriptSource>& sources) {
  std::vector<Action> all;
  std::optional<std::string> closedBy;
  for (const ScriptSource& source : sources) {
    auto tokens = Tokens(source.text);
    Parser where(source, {});
    if (auto* f = std::get_if<Failure>(&tokens)) return ScriptError{where.Where(f->line), f->message};
    Parser parser(source, std::get<std::vector<Token>>(std::move(tokens)));
    std::vector<Action> actions;
    if (auto f = parser.Block(actions, false, 0)) return ScriptError{parser.Where(f->line), f->message};
    if (closedBy && !actions.empty())
      return ScriptError{actions.front().where, "the sheet is already closed by " + *closedBy};
    for (auto& a : actions) {
      if (a.verb == Verb::Ok || a.verb == Verb::Cancel)
        closedBy = std::string(a.verb == Verb::Ok ? "ok" : "cancel") + " on " + a.where;
      all.push_back(std::move(a));
    }
  }
  return all;
}

}  // namespace rt7700prefs
