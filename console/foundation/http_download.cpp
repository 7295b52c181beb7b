#include "console/foundation/http_download.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRandomGenerator>
#include <QUrl>
#include <chrono>
#include <thread>

#include "console/foundation/system_info.h"
#include "online/transport.h"

namespace orv::console {

namespace {
enum class Outcome { NoRequest, NetworkFailure, Response };

struct Download {
  Outcome outcome = Outcome::NoRequest;
  int status = 0;
};

// The program's file name without its extension, "OrvConsole" as delivered.
QByteArray UserAgent() {
  if (QCoreApplication::instance() != nullptr) {
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    if (!name.isEmpty()) {
      return name.toUtf8();
    }
  }
  return QByteArrayLiteral("OrvConsole");
}

// Appends the body's lines without their line ends.
void AppendLines(const QByteArray& body, std::string& text) {
  qsizetype from = 0;
  while (from < body.size()) {
    qsizetype end = body.indexOf('\n', from);
    qsizetype next = end + 1;
    if (end < 0) {
      end = body.size();
      next = end;
    }
    qsizetype lineEnd = end;
    if (lineEnd > from && body.at(lineEnd - 1) == '\r') {
      --lineEnd;
    }
    text.append(body.constData() + from, static_cast<std::size_t>(lineEnd - from));
    from = next;
  }
}

// One request with its own network manager and event loop, so it can run on any thread.
Download RunDownload(std::string_view url, std::string& text, const QByteArray& userAgent,
                     int transferTimeoutMs) {
  Download result;
  text.clear();
  if (url.empty()) {
    return result;
  }
  const std::string full = WithCacheBuster(url, CacheBusterNumber());
  QNetworkAccessManager manager;
  QNetworkRequest request(
      QUrl::fromEncoded(QByteArray(full.data(), static_cast<qsizetype>(full.size()))));
  request.setHeader(QNetworkRequest::UserAgentHeader, userAgent);
  request.setTransferTimeout(transferTimeoutMs);
  request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                       QNetworkRequest::NoLessSafeRedirectPolicy);
  std::unique_ptr<QNetworkReply> reply(manager.get(request));
  // A reply announced or grown beyond the bound ends the download: a broken or hostile server
  // must not fill the memory.
  bool tooLarge = false;
  QNetworkReply* const watched = reply.get();
  QObject::connect(watched, &QNetworkReply::downloadProgress, watched,
                   [&tooLarge, watched](qint64 received, qint64 total) {
                     const auto bound = static_cast<qint64>(online::kMaxReplyBytes);
                     if (!tooLarge && (received > bound || total > bound)) {
                       tooLarge = true;
                       watched->abort();
                     }
                   });
  QObject::connect(watched, &QNetworkReply::metaDataChanged, watched, [&tooLarge, watched] {
    bool known = false;
    const qlonglong announced =
        watched->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
    if (!tooLarge && known && announced > static_cast<qlonglong>(online::kMaxReplyBytes)) {
      tooLarge = true;
      watched->abort();
    }
  });
  QEventLoop loop;
  QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
  if (!reply->isFinished()) {
    loop.exec(QEventLoop::ExcludeUserInputEvents);
  }
  if (tooLarge) {
    result.outcome = Outcome::NetworkFailure;
    return result;
  }
  const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
  if (!status.isValid()) {
    result.outcome = Outcome::NetworkFailure;
    return result;
  }
  result.outcome = Outcome::Response;
  result.status = status.toInt();
  if (result.status == 200 || result.status == 500) {
    AppendLines(reply->readAll(), text);
    // A connection that broke off mid-body is a network failure with what was read so far.
    const auto error = reply->error();
    if (error != QNetworkReply::NoError && error != QNetworkReply::InternalServerError) {
      result.outcome = Outcome::NetworkFailure;
    }
  }
  return result;
}

// Network access needs Qt's thread data; a worker thread gets it from QEventLoop on first use.
Download RunDownloadOnWorker(std::string_view url, std::string& text, int transferTimeoutMs) {
  const QByteArray userAgent = UserAgent();
  Download result;
  std::thread worker([&] { result = RunDownload(url, text, userAgent, transferTimeoutMs); });
  worker.join();
  return result;
}
}  // namespace

std::string WithCacheBuster(std::string_view url, int number) {
  std::string full(url);
  full += (full.find('?') == std::string::npos) ? "?rnum=" : "&rnum=";
  full += std::to_string(number);
  return full;
}

int CacheBusterNumber() {
  return 1 + static_cast<int>(QRandomGenerator::global()->bounded(998));
}

int HttpGetText(std::string_view url, std::string& text, int transferTimeoutMs) {
  // The request runs on a helper thread and this thread waits for it without dispatching
  // anything, so a caller on the user-interface thread sees no re-entrant events.
  const Download result = RunDownloadOnWorker(url, text, transferTimeoutMs);
  return result.outcome == Outcome::Response ? 1 : 0;
}

int HttpFetcher::Fetch(std::string_view url, std::string& text) {
  url_ = std::string(url);
  done_.store(false);
  const QByteArray userAgent = UserAgent();
  std::thread worker([this, userAgent] {
    const Download result = RunDownload(url_, result_, userAgent, kTransferTimeoutMs);
    switch (result.outcome) {
      case Outcome::NoRequest:
        code_ = 0;
        break;
      case Outcome::NetworkFailure:
        code_ = 2;
        if (result_.empty()) {
          result_.push_back('x');  // the mark of a failed download
        }
        break;
      case Outcome::Response:
        code_ = (result.status == 200 || result.status == 500) ? 1 : 0;
        break;
    }
    done_.store(true);
  });
  // Dispatch at least once, so whatever the window queued before the call is not held back
  // by a download that finishes at once.
  for (;;) {
    PumpMessages();
    if (done_.load()) {
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(pollIntervalMs_));
  }
  worker.join();
  done_.store(false);
  text = result_;
  return code_;
}

}  // namespace orv::console
