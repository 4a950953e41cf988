#pragma once

// The status every request of the agent returns: 0 when the camera answered and the answer was
// accepted, otherwise why not. The camera's own error numbers map to the values 2 to 13.
enum AgentStatus {
    StatusOk = 0,
    StatusError500 = 2,
    StatusError501 = 3,
    StatusLoginAgain = 4,
    StatusError503 = 5,
    StatusError505 = 7,
    StatusCancelled = 9,
    StatusNoReply = 10,
    StatusBadImage = 11,
    StatusError509 = 12,
    StatusOtherError = 13,
};
