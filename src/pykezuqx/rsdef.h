#ifndef RSDEF_H
#define RSDEF_H

#include <memory>
#include <vector>

#include "KezuRobotMetaType.h"
#include "rstype.h"

class ServiceInterface;

typedef kezu_robot_namespace::CoordCalibrateByJointAngleAndTool CoordCalibrate;

// The user frame kept per context; `used` is 1 while a frame is set.
struct CustomUserCoord {
    CoordCalibrate user_coord;
    char used;
};

struct Move_Rotate_Axis {
    double rotateAxis[3];
};

// Owns the facade and the user frame of one context. Each rs_* call holds the context from its
// lookup to its end; destroying it closes its link and waits for such calls before freeing.
struct RsContextLife;

// One row of the context table. `prs` and `rs_user_coord` are owned by the row through `life`.
struct ROBOT_SERVICE_INSTANCE {
    RSHD rshd;
    ServiceInterface *prs;
    CustomUserCoord *rs_user_coord;
    std::shared_ptr<RsContextLife> life;
};

typedef std::vector<ROBOT_SERVICE_INSTANCE> RSI_MAP;

#endif
