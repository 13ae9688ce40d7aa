// The 403 answer of a refused request.
#include "platform/host/server/RefusalAnswer.h"

namespace host {

void answerRefusal(const RequestGuard::Decision& decision, httplib::Response& response)
{
    response.status = 403;
    if (!decision.refusal.empty())
        response.set_header(RequestGuard::refusalHeader, decision.refusal);
    response.set_content("Forbidden: " + decision.reason + ".\n", "text/plain; charset=utf-8");
}

}
