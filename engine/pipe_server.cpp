#include "engine/pipe_server.h"

#include "common/protocol.h"

uint32_t TPipeServer::Open() {
  const uint32_t error = Api.Create(kPipeName, kPipeAccess, true);
  Opened = error == 0;
  // Without it the clocks still end within a minute of the service's removal.
  Api.CreateGoodbye(kClockGoodbyeEvent, kClockGoodbyeAccess);
  return error;
}

void TPipeServer::Start() {
  if (Opened && !Thread.joinable()) Thread = std::thread([this] { Serve(); });
}

void TPipeServer::Stop() {
  if (!Thread.joinable()) return;
  Api.Stop();
  Thread.join();
}

void TPipeServer::Serve() {
  while (Api.WaitForClient() == TPipeServerApi::TWait::Client) {
    std::string request;
    switch (Api.Read(request, kMaxRequestBytes, kClientTimeoutMs)) {
      case TPipeServerApi::TRead::Message: {
        TPipeClient client;
        client.User = Api.ClientUser(client.Administrator);
        std::string answer;
        try {
          answer = Handler(client, request);
        } catch (...) {
          answer = std::string(kAnswerError) + " the service could not answer";
        }
        Api.Answer(answer, kClientTimeoutMs);
        break;
      }
      case TPipeServerApi::TRead::TooLong:
        Api.Answer(std::string(kAnswerError) + " the request is longer than " + std::to_string(kMaxRequestBytes) +
                       " bytes",
                   kClientTimeoutMs);
        break;
      case TPipeServerApi::TRead::TimedOut:
      case TPipeServerApi::TRead::Failed:
        break;
    }
    Api.EndClient();
  }
}
