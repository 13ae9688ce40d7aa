// answerRefusal: the answer to a request the guard refused. Its body tells a person reading it
// as text why; a header names which refusal it is, so the page can say what happened in plain
// words and what to do.
#pragma once

#include "platform/host/server/RequestGuard.h"

namespace host {

void answerRefusal(const RequestGuard::Decision& decision, httplib::Response& response);

}
