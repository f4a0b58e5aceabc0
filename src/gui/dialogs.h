#pragma once

#include <QString>
#include <vector>

class QWidget;

// The window's questions and messages, through one interface so tests can
// answer them. A question is modal: it spins a nested Qt loop, which keeps
// driving the hub, so the hub keeps its pace while one is open.
class TDialogs {
 public:
  enum class TButton { Yes, No, Ok, Cancel };
  enum class TKind { Confirmation, Information, Warning, Error };

  virtual ~TDialogs() = default;
  // The button the operator pressed among `buttons`.
  virtual TButton Ask(const QString& text, TKind kind, const std::vector<TButton>& buttons) = 0;
  virtual void Inform(const QString& text, TKind kind) = 0;

  bool Confirm(const QString& text) {
    return Ask(text, TKind::Confirmation, {TButton::Yes, TButton::No}) == TButton::Yes;
  }
};

// QMessageBox over the given parent window.
class TMessageBoxDialogs final : public TDialogs {
 public:
  explicit TMessageBoxDialogs(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }
  TButton Ask(const QString& text, TKind kind, const std::vector<TButton>& buttons) override;
  void Inform(const QString& text, TKind kind) override;

 private:
  QWidget* parent_;
};
