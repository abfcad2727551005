#pragma once

#include <QString>

class QWidget;

// Every message box a view shows goes through a Prompter, so tests answer
// questions and read warnings without a modal loop.

namespace mirx::shell {

enum class PromptIcon { Information, Warning, Error, Question };

class Prompter {
public:
    virtual ~Prompter() = default;
    // A Yes/No question with the question icon; true for Yes.
    virtual bool ask(QWidget* parent, const QString& caption, const QString& text) = 0;
    // A message with an OK button.
    virtual void tell(QWidget* parent, const QString& caption, const QString& text,
                      PromptIcon icon) = 0;
};

// QMessageBox, modal to `parent`.
class MessageBoxPrompter final : public Prompter {
public:
    bool ask(QWidget* parent, const QString& caption, const QString& text) override;
    void tell(QWidget* parent, const QString& caption, const QString& text,
              PromptIcon icon) override;
};

} // namespace mirx::shell
