// The one error of documents and drafts: what went wrong, in Russian, naming the line or the
// position where the input is at fault. Nothing has been written or inserted when it is thrown.
#pragma once

#include <QString>
#include <stdexcept>

namespace exchange {

class ExchangeError : public std::runtime_error {
  public:
    explicit ExchangeError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

  private:
    QString message_;
};

}  // namespace exchange
