#include "protoencodedecode.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>

#include "globalutil.h"
#include "rawvalue.h"
#include "robotmovecondition.pb.h"

using namespace kezu_robot_namespace;
namespace common = kezu::robot::common;
namespace communication = kezu::robot::communication;
namespace movecondition = kezu::robot::movecondition;
using google::protobuf::MessageLite;
using google::protobuf::RepeatedPtrField;

namespace {

enum class Sink { Stdout, Stderr, ErrorLog };

void reportFailure(Sink sink, const char *line) {
    if (sink == Sink::ErrorLog) {
        kezu_robot_logtrace::W_ERROR("%s", line);
        return;
    }
    std::FILE *stream = sink == Sink::Stdout ? stdout : stderr;
    std::fputs(line, stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

void clearOutputs(char **ptr, int *size) {
    if (ptr != nullptr) {
        *ptr = nullptr;
    }
    if (size != nullptr) {
        *size = 0;
    }
}

bool refuseRequest(char **ptr, int *size, Sink sink, const char *line) {
    clearOutputs(ptr, size);
    reportFailure(sink, line);
    return false;
}

// One allocation of exactly the serialised length. Required fields are not checked: some
// bodies (the tool parameter requests) are sent without their required errorInfo.
bool serializeBody(const MessageLite &message, char **ptr, int *size) {
    clearOutputs(ptr, size);
    if (ptr == nullptr || size == nullptr) {
        return false;
    }
    const size_t length = message.ByteSizeLong();
    if (length > static_cast<size_t>(INT_MAX)) {
        return false;
    }
    std::unique_ptr<char[]> buffer(new char[length]);
    if (!message.SerializePartialToArray(buffer.get(), static_cast<int>(length))) {
        return false;
    }
    *size = static_cast<int>(length);
    *ptr = buffer.release();
    return true;
}

bool finishRequest(const MessageLite &message, char **ptr, int *size, Sink sink, const char *line) {
    return serializeBody(message, ptr, size) || refuseRequest(ptr, size, sink, line);
}

// A negative length or a null buffer with a length would make the parser read outside
// the caller's memory; both count as malformed bodies. A partial parse does not require the
// required fields.
bool parseBody(MessageLite &message, const char *buffer, int size, bool partial = false) {
    if (size < 0 || (buffer == nullptr && size != 0)) {
        return false;
    }
    return partial ? message.ParsePartialFromArray(buffer, size)
                   : message.ParseFromArray(buffer, size);
}

bool parseReply(MessageLite &message, const char *buffer, int size, const char *line,
                bool partial = false) {
    if (parseBody(message, buffer, size, partial)) {
        return true;
    }
    reportFailure(Sink::Stderr, line);
    return false;
}

template <class Info>
void takeFirstErrorCode(const RepeatedPtrField<Info> &infos, int &errorCode) {
    if (!infos.empty()) {
        errorCode = infos.Get(0).errorcode();
    }
}

// Replies whose errorInfo is one required field: the code is always taken, the data only
// when the controller reports success. `read` returns the resolver's result in that case.
template <class Reply, class Read>
bool resolveCoded(const char *buffer, int size, const char *line, int &errorCode, Read read) {
    Reply message;
    if (!parseReply(message, buffer, size, line)) {
        return false;
    }
    errorCode = message.errorinfo().errorcode();
    return errorCode != 0 || read(message);
}

void writePos(const Pos &src, common::Pos &dst) {
    dst.set_x(src.x);
    dst.set_y(src.y);
    dst.set_z(src.z);
}

void readPos(const common::Pos &src, Pos &dst) {
    dst.x = src.x();
    dst.y = src.y();
    dst.z = src.z();
}

void writeOri(const Ori &src, common::Ori &dst) {
    dst.set_w(src.w);
    dst.set_x(src.x);
    dst.set_y(src.y);
    dst.set_z(src.z);
}

void readOri(const common::Ori &src, Ori &dst) {
    dst.w = src.w();
    dst.x = src.x();
    dst.y = src.y();
    dst.z = src.z();
}

void writeTcp(const TcpParam &src, communication::TcpParam &dst) {
    dst.set_positionx(src.positionX);
    dst.set_positiony(src.positionY);
    dst.set_positionz(src.positionZ);
    dst.set_payload(src.payload);
}

void readTcp(const communication::TcpParam &src, TcpParam &dst) {
    dst.positionX = src.positionx();
    dst.positionY = src.positiony();
    dst.positionZ = src.positionz();
    dst.payload = src.payload();
}

// Copies at most maxLength characters into a zeroed array, which therefore stays
// NUL-terminated.
void copyCut(char *dst, const std::string &src, size_t maxLength) {
    std::memcpy(dst, src.data(), std::min(src.size(), maxLength));
}

bool profileEnumsValid(const RobotMoveProfile &profile) {
    return movecondition::move_mode_IsValid(rawValue(profile.moveMode)) &&
           movecondition::move_track_IsValid(rawValue(profile.subMoveMode)) &&
           movecondition::teach_mode_IsValid(rawValue(profile.teachMode));
}

// A mode, track or teach direction outside its enum would stop the process in the
// generated setter; such a profile is refused as a failed body.
bool refuseProfile(const RobotMoveProfile &profile, char **ptr, int *size, const char *line) {
    kezu_robot_logtrace::W_ERROR(
        "sdk log: move profile refused, moveMode=%d subMoveMode=%d teachMode=%d out of range.",
        rawValue(profile.moveMode), rawValue(profile.subMoveMode), rawValue(profile.teachMode));
    return refuseRequest(ptr, size, Sink::Stdout, line);
}

// The general-data builders differ only in the value they carry and their failure line.
bool buildGeneralData(char **ptr, int *size, const std::vector<int> &ints,
                      const std::vector<bool> &bools, const char *line) {
    communication::ProtoCommunicationGeneralData message;
    ProtoEncodeDecode::makeProtoCommunicationGeneralData(message, ints, bools);
    if (ProtoEncodeDecode::ProtoCommunicationGeneralDataMessageSerialize(message, ptr, size)) {
        return true;
    }
    reportFailure(Sink::Stderr, line);
    return false;
}

// General-data replies carry their one value as entry 0 of the integer or the boolean list;
// without that entry the reply resolves to nothing.
enum class ValueList { Ints, Bools };

bool resolveGeneralValue(const char *buffer, int size, ValueList list, int &value, int &errorCode) {
    communication::ProtoCommunicationGeneralData message;
    if (!ProtoEncodeDecode::ProtoCommunicationGeneralDataMessageParse(buffer, size, message)) {
        return false;
    }
    std::vector<int> ints;
    std::vector<bool> bools;
    ProtoEncodeDecode::resolveProtoCommunicationGeneralData(message, ints, bools, errorCode);
    if (list == ValueList::Ints ? ints.empty() : bools.empty()) {
        return false;
    }
    value = list == ValueList::Ints ? ints[0] : static_cast<int>(bools[0]);
    return true;
}

}  // namespace

// ---------------------------------------------------------------- road point

bool ProtoEncodeDecode::roadPointTypeConversion(const common::ProtoRoadPoint &src,
                                                wayPoint_S &dst) {
    bool result = true;
    const common::cartesianPos_U &cart = src.cartpos();
    if (cart.position_size() > 0) {
        readPos(cart.position(0), dst.cartPos.position);
    } else if (cart.positionvector_size() > 2) {
        for (int i = 0; i < 3; ++i) {
            dst.cartPos.positionVector[i] = cart.positionvector(i);
        }
    } else {
        result = false;
    }
    readOri(src.orientation(), dst.orientation);
    if (src.jointpos_size() != ARM_DOF) {
        return false;
    }
    for (int i = 0; i < ARM_DOF; ++i) {
        dst.jointpos[i] = src.jointpos(i);
    }
    return result;
}

bool ProtoEncodeDecode::roadPointTypeConversion(const wayPoint_S &src,
                                                common::ProtoRoadPoint &dst) {
    common::cartesianPos_U *cart = dst.mutable_cartpos();
    writePos(src.cartPos.position, *cart->add_position());
    // The controller reads either view of the position, so both are sent.
    for (int i = 0; i < 3; ++i) {
        cart->add_positionvector(src.cartPos.positionVector[i]);
    }
    writeOri(src.orientation, *dst.mutable_orientation());
    for (int i = 0; i < ARM_DOF; ++i) {
        dst.add_jointpos(src.jointpos[i]);
    }
    return true;
}

// ---------------------------------------------------------------- limits and orientation

bool ProtoEncodeDecode::jointCartUTypeConversion(const common::joint_cart_U &src,
                                                 joint_cart_U &dst) {
    std::memset(&dst, 0, sizeof(dst));
    const int count = std::min<int>(ARM_DOF, src.jointpara_size());
    for (int i = 0; i < count; ++i) {
        dst.jointPara[i] = src.jointpara(i);
    }
    return true;
}

bool ProtoEncodeDecode::jointCartUTypeConversion(const joint_cart_U &src,
                                                 common::joint_cart_U &dst) {
    for (int i = 0; i < ARM_DOF; ++i) {
        dst.add_jointpara(src.jointPara[i]);
    }
    return true;
}

bool ProtoEncodeDecode::cartesianOriUTypeConversion(const common::cartesianOri_U &src,
                                                    cartesian_Ori_U &dst) {
    if (src.orientation_size() > 0) {
        readOri(src.orientation(0), dst.orientation);
    }
    const int count = std::min(4, src.quaternionvector_size());
    for (int i = 0; i < count; ++i) {
        dst.quaternionVector[i] = src.quaternionvector(i);
    }
    return true;
}

bool ProtoEncodeDecode::cartesianOriUTypeConversion(const cartesian_Ori_U &src,
                                                    common::cartesianOri_U &dst) {
    writeOri(src.orientation, *dst.add_orientation());
    for (int i = 0; i < 4; ++i) {
        dst.add_quaternionvector(src.quaternionVector[i]);
    }
    return true;
}

// ---------------------------------------------------------------- move profile and move

void ProtoEncodeDecode::KezuRobotMoveProfileType2ProtoType(const RobotMoveProfile &src,
                                                           common::RobotMoveProfile &dst) {
    const int mode = rawValue(src.moveMode);
    const int track = rawValue(src.subMoveMode);
    const int teach = rawValue(src.teachMode);
    if (movecondition::move_mode_IsValid(mode)) {
        dst.set_movemode(static_cast<movecondition::move_mode>(mode));
    }
    if (movecondition::move_track_IsValid(track)) {
        dst.set_submovemode(static_cast<movecondition::move_track>(track));
    }
    if (movecondition::teach_mode_IsValid(teach)) {
        dst.set_teachmode(static_cast<movecondition::teach_mode>(teach));
    }
    dst.set_enableiterik(src.enableIterIk);
    dst.set_tooltrack(src.toolTrack);
    writePos(src.toolInEndPosition.position, *dst.mutable_toolinendposition());
    writeOri(src.toolInEndOrientation, *dst.mutable_toolinendorientation());

    common::relativeMove_t *relative = dst.mutable_relativemove();
    relative->set_ena(src.relativeMove.ena);
    for (int i = 0; i < 3; ++i) {
        relative->add_relativeposition(src.relativeMove.relativePosition[i]);
    }
    cartesianOriUTypeConversion(src.relativeMove.relativeOrientation,
                                *relative->mutable_relativeorientation());

    jointCartUTypeConversion(src.maxVelc, *dst.mutable_maxvelc());
    jointCartUTypeConversion(src.maxAcc, *dst.mutable_maxacc());
    dst.set_blendradius(src.blendRadius);
    dst.set_circularlooptimes(src.circularLoopTimes);
    dst.mutable_arrivalahead()->set_arrivalaheadstat(src.arrivalAhead.arrivalAheadStat);
    dst.mutable_arrivalahead()->set_arrivalaheadthr(src.arrivalAhead.arrivalAheadThr);
}

void ProtoEncodeDecode::ProtoRobotMoveProfileType2KezuType(const common::RobotMoveProfile &src,
                                                           RobotMoveProfile &dst) {
    dst.moveMode = static_cast<move_mode>(src.movemode());
    dst.subMoveMode = static_cast<move_track>(src.submovemode());
    dst.teachMode = static_cast<teach_mode>(src.teachmode());
    dst.enableIterIk = src.enableiterik();
    dst.toolTrack = src.tooltrack();
    readPos(src.toolinendposition(), dst.toolInEndPosition.position);
    readOri(src.toolinendorientation(), dst.toolInEndOrientation);

    const common::relativeMove_t &relative = src.relativemove();
    dst.relativeMove.ena = relative.ena();
    if (relative.relativeposition_size() == 3) {
        for (int i = 0; i < 3; ++i) {
            dst.relativeMove.relativePosition[i] = relative.relativeposition(i);
        }
    }
    cartesianOriUTypeConversion(relative.relativeorientation(),
                                dst.relativeMove.relativeOrientation);

    jointCartUTypeConversion(src.maxvelc(), dst.maxVelc);
    jointCartUTypeConversion(src.maxacc(), dst.maxAcc);
    dst.blendRadius = src.blendradius();
    dst.circularLoopTimes = src.circularlooptimes();
    dst.arrivalAhead.arrivalAheadStat =
        static_cast<arrival_ahead_state>(src.arrivalahead().arrivalaheadstat());
    dst.arrivalAhead.arrivalAheadThr = src.arrivalahead().arrivalaheadthr();
}

bool ProtoEncodeDecode::RobotMovePatamTypeConversion(const common::RobotMove &src,
                                                     RobotMoveProfile &moveProfile,
                                                     std::vector<wayPoint_S> &wayPoints) {
    ProtoRobotMoveProfileType2KezuType(src.move_profile(), moveProfile);
    wayPoints.clear();
    for (const common::ProtoRoadPoint &roadPoint : src.roadpointvector()) {
        wayPoint_S wayPoint{};
        roadPointTypeConversion(roadPoint, wayPoint);
        wayPoints.push_back(wayPoint);
    }
    return true;
}

bool ProtoEncodeDecode::RobotMovePatamTypeConversion(const RobotMoveProfile &moveProfile,
                                                     const std::vector<wayPoint_S> &wayPoints,
                                                     common::RobotMove &dst) {
    KezuRobotMoveProfileType2ProtoType(moveProfile, *dst.mutable_move_profile());
    for (const wayPoint_S &wayPoint : wayPoints) {
        roadPointTypeConversion(wayPoint, *dst.add_roadpointvector());
    }
    return true;
}

// ---------------------------------------------------------------- one-to-one records

bool ProtoEncodeDecode::robotTcpParamTypeConversion(const RobotTcpParam &src,
                                                    communication::RobotTcpParam &dst) {
    writeTcp(src.paramAutorun, *dst.mutable_paramautorun());
    writeTcp(src.paramManual, *dst.mutable_parammanual());
    return true;
}

bool ProtoEncodeDecode::robotTcpParamTypeConversion(const communication::RobotTcpParam &src,
                                                    RobotTcpParam &dst) {
    readTcp(src.paramautorun(), dst.paramAutorun);
    readTcp(src.parammanual(), dst.paramManual);
    return true;
}

bool ProtoEncodeDecode::jointStatusTypeConversion(const JointStatus &src,
                                                  common::ProtoJointStatus &dst) {
    dst.set_jointcurrenti(src.jointCurrentI);
    dst.set_jointspeedmoto(src.jointSpeedMoto);
    dst.set_jointposj(src.jointPosJ);
    dst.set_jointcurvol(src.jointCurVol);
    dst.set_jointcurtemp(src.jointCurTemp);
    dst.set_jointtagcurrenti(src.jointTagCurrentI);
    dst.set_jointtagspeedmoto(src.jointTagSpeedMoto);
    dst.set_jointtagposj(src.jointTagPosJ);
    dst.set_jointerrornum(src.jointErrorNum);
    return true;
}

bool ProtoEncodeDecode::jointStatusTypeConversion(const common::ProtoJointStatus &src,
                                                  JointStatus &dst) {
    dst.jointCurrentI = src.jointcurrenti();
    dst.jointSpeedMoto = src.jointspeedmoto();
    dst.jointPosJ = src.jointposj();
    dst.jointCurVol = src.jointcurvol();
    dst.jointCurTemp = src.jointcurtemp();
    dst.jointTagCurrentI = src.jointtagcurrenti();
    dst.jointTagSpeedMoto = src.jointtagspeedmoto();
    dst.jointTagPosJ = src.jointtagposj();
    dst.jointErrorNum = static_cast<uint16>(src.jointerrornum());
    return true;
}

bool ProtoEncodeDecode::robotDiagnosisTypeConversion(const RobotDiagnosis &src,
                                                     communication::RobotDiagnosis &dst) {
    dst.set_armcanbusstatus(src.armCanbusStatus);
    dst.set_armpowercurrent(src.armPowerCurrent);
    dst.set_armpowervoltage(src.armPowerVoltage);
    dst.set_armpowerstatus(src.armPowerStatus);
    dst.set_contorllertemp(src.contorllerTemp);
    dst.set_contorllerhumidity(src.contorllerHumidity);
    dst.set_remotehalt(src.remoteHalt);
    dst.set_softemergency(src.softEmergency);
    dst.set_remoteemergency(src.remoteEmergency);
    dst.set_robotcollision(src.robotCollision);
    dst.set_forcecontrolmode(src.forceControlMode);
    dst.set_brakestuats(src.brakeStuats);
    dst.set_robotendspeed(src.robotEndSpeed);
    dst.set_robotmaxacc(src.robotMaxAcc);
    dst.set_orpestatus(src.orpeStatus);
    dst.set_enablereadpose(src.enableReadPose);
    dst.set_robotmountingposechanged(src.robotMountingPoseChanged);
    dst.set_encodererrorstatus(src.encoderErrorStatus);
    dst.set_staticcollisiondetect(src.staticCollisionDetect);
    dst.set_jointcollisiondetect(src.jointCollisionDetect);
    dst.set_encoderlineserror(src.encoderLinesError);
    dst.set_jointerrorstatus(src.jointErrorStatus);
    dst.set_singularityoverspeedalarm(src.singularityOverSpeedAlarm);
    dst.set_robotcurrentalarm(src.robotCurrentAlarm);
    dst.set_toolioerror(src.toolIoError);
    dst.set_robotmountingposewarning(src.robotMountingPoseWarning);
    dst.set_mactargetposbuffersize(src.macTargetPosBufferSize);
    dst.set_mactargetposdatasize(src.macTargetPosDataSize);
    dst.set_macdatainterruptwarning(src.macDataInterruptWarning);
    return true;
}

bool ProtoEncodeDecode::robotDiagnosisTypeConversion(const communication::RobotDiagnosis &src,
                                                     RobotDiagnosis &dst) {
    dst.armCanbusStatus = static_cast<uint8>(src.armcanbusstatus());
    dst.armPowerCurrent = src.armpowercurrent();
    dst.armPowerVoltage = src.armpowervoltage();
    dst.armPowerStatus = src.armpowerstatus();
    dst.contorllerTemp = static_cast<std::int8_t>(src.contorllertemp());
    dst.contorllerHumidity = static_cast<uint8>(src.contorllerhumidity());
    dst.remoteHalt = src.remotehalt();
    dst.softEmergency = src.softemergency();
    dst.remoteEmergency = src.remoteemergency();
    dst.robotCollision = src.robotcollision();
    dst.forceControlMode = src.forcecontrolmode();
    dst.brakeStuats = src.brakestuats();
    dst.robotEndSpeed = src.robotendspeed();
    dst.robotMaxAcc = src.robotmaxacc();
    dst.orpeStatus = src.orpestatus();
    dst.enableReadPose = src.enablereadpose();
    dst.robotMountingPoseChanged = src.robotmountingposechanged();
    dst.encoderErrorStatus = src.encodererrorstatus();
    dst.staticCollisionDetect = src.staticcollisiondetect();
    dst.jointCollisionDetect = static_cast<uint8>(src.jointcollisiondetect());
    dst.encoderLinesError = src.encoderlineserror();
    dst.jointErrorStatus = src.jointerrorstatus();
    dst.singularityOverSpeedAlarm = src.singularityoverspeedalarm();
    dst.robotCurrentAlarm = src.robotcurrentalarm();
    dst.toolIoError = static_cast<uint8>(src.toolioerror());
    dst.robotMountingPoseWarning = src.robotmountingposewarning();
    dst.macTargetPosBufferSize = static_cast<uint16>(src.mactargetposbuffersize());
    dst.macTargetPosDataSize = static_cast<uint16>(src.mactargetposdatasize());
    dst.macDataInterruptWarning = static_cast<uint8>(src.macdatainterruptwarning());
    return true;
}

bool ProtoEncodeDecode::robotGravityComponentTypeConversion(
    const RobotGravityComponent &src, communication::RobotGravityComponent &dst) {
    dst.set_x(src.x);
    dst.set_y(src.y);
    dst.set_z(src.z);
    return true;
}

bool ProtoEncodeDecode::robotGravityComponentTypeConversion(
    const communication::RobotGravityComponent &src, RobotGravityComponent &dst) {
    dst.x = src.x();
    dst.y = src.y();
    dst.z = src.z();
    return true;
}

bool ProtoEncodeDecode::robotCollisionCurrentTypeConversion(
    const RobotCollisionCurrent &src, communication::RobotCollisionCurrent &dst) {
    dst.set_collisionclass(src.CollisionClass);
    return true;
}

bool ProtoEncodeDecode::robotCollisionCurrentTypeConversion(
    const communication::RobotCollisionCurrent &src, RobotCollisionCurrent &dst) {
    dst.CollisionClass = static_cast<uint8>(src.collisionclass());
    return true;
}

// ---------------------------------------------------------------- safety

bool ProtoEncodeDecode::RobotSafetyConfigTypeConversion(const RobotSafetyConfig &src,
                                                        common::ProtoRobotSafetyConfig &dst) {
    for (int i = 0; i < ARM_DOF; ++i) {
        dst.add_robotreducedconfigjointspeed(src.robotReducedConfigJointSpeed[i]);
    }
    dst.set_robotreducedconfigtcpspeed(static_cast<int>(src.robotReducedConfigTcpSpeed));
    dst.set_robotreducedconfigtcpforce(static_cast<int>(src.robotReducedConfigTcpForce));
    dst.set_robotreducedconfigmomentum(static_cast<int>(src.robotReducedConfigMomentum));
    dst.set_robotreducedconfigpower(static_cast<int>(src.robotReducedConfigPower));
    dst.set_robotsafeguradresetconfig(src.robotSafeguradResetConfig);
    dst.set_robotoperationalmodeconfig(src.robotOperationalModeConfig);
    return true;
}

bool ProtoEncodeDecode::RobotSafetyConfigTypeConversion(const common::ProtoRobotSafetyConfig &src,
                                                        RobotSafetyConfig &dst) {
    const int count = std::min<int>(ARM_DOF, src.robotreducedconfigjointspeed_size());
    for (int i = 0; i < count; ++i) {
        dst.robotReducedConfigJointSpeed[i] =
            static_cast<uint16>(src.robotreducedconfigjointspeed(i));
    }
    dst.robotReducedConfigTcpSpeed = static_cast<uint32>(src.robotreducedconfigtcpspeed());
    dst.robotReducedConfigTcpForce = static_cast<uint32>(src.robotreducedconfigtcpforce());
    dst.robotReducedConfigMomentum = static_cast<uint32>(src.robotreducedconfigmomentum());
    dst.robotReducedConfigPower = static_cast<uint32>(src.robotreducedconfigpower());
    dst.robotSafeguradResetConfig = static_cast<uint8>(src.robotsafeguradresetconfig());
    dst.robotOperationalModeConfig = static_cast<uint8>(src.robotoperationalmodeconfig());
    return true;
}

bool ProtoEncodeDecode::OrpeSafetyStatusTypeConversion(const OrpeSafetyStatus &src,
                                                       common::ProtoOrpeSafetyStatus &dst) {
    dst.set_orpepause(src.orpePause);
    dst.set_orpestop(src.orpeStop);
    for (uint8 error : src.orpeError) {
        dst.add_orpeerror(error);
    }
    dst.set_systememergencystop(src.systemEmergencyStop);
    dst.set_reducedmodeerror(src.reducedModeError);
    dst.set_safetyguardresetsucc(src.safetyguardResetSucc);
    return true;
}

bool ProtoEncodeDecode::OrpeSafetyStatusTypeConversion(const common::ProtoOrpeSafetyStatus &src,
                                                       OrpeSafetyStatus &dst) {
    dst.orpePause = static_cast<uint8>(src.orpepause());
    dst.orpeStop = static_cast<uint8>(src.orpestop());
    const int count = std::min<int>(sizeof(dst.orpeError), src.orpeerror_size());
    for (int i = 0; i < count; ++i) {
        dst.orpeError[i] = static_cast<uint8>(src.orpeerror(i));
    }
    dst.systemEmergencyStop = static_cast<uint8>(src.systememergencystop());
    dst.reducedModeError = static_cast<uint8>(src.reducedmodeerror());
    dst.safetyguardResetSucc = static_cast<uint8>(src.safetyguardresetsucc());
    return true;
}

// ---------------------------------------------------------------- tool parameters

bool ProtoEncodeDecode::toolParamTypeConversion(const common::ToolParam &src,
                                                ToolDynamicsParam &dst) {
    if (src.tooldynamicsparam_size() == 0) {
        return false;
    }
    const common::ToolDynamicsParam &param = src.tooldynamicsparam(0);
    dst.payload = param.payload();
    dst.positionX = param.positionx();
    dst.positionY = param.positiony();
    dst.positionZ = param.positionz();
    const common::ToolInertia &inertia = param.toolinertia();
    dst.toolInertia.xx = inertia.xx();
    dst.toolInertia.xy = inertia.xy();
    dst.toolInertia.xz = inertia.xz();
    dst.toolInertia.yy = inertia.yy();
    dst.toolInertia.yz = inertia.yz();
    dst.toolInertia.zz = inertia.zz();
    return true;
}

bool ProtoEncodeDecode::toolParamTypeConversion(const common::ToolParam &src,
                                                ToolKinematicsParam &dst) {
    if (src.toolkinematicsparam_size() == 0) {
        return false;
    }
    const common::ToolKinematicsParam &param = src.toolkinematicsparam(0);
    readPos(param.toolposition(), dst.toolInEndPosition);
    readOri(param.toolori(), dst.toolInEndOrientation);
    return true;
}

bool ProtoEncodeDecode::toolParamTypeConversion(const ToolDynamicsParam &src,
                                                common::ToolParam &dst) {
    dst.clear_errorinfo();
    dst.clear_tooldynamicsparam();
    dst.clear_toolkinematicsparam();
    common::ToolDynamicsParam *param = dst.add_tooldynamicsparam();
    param->set_payload(src.payload);
    param->set_positionx(src.positionX);
    param->set_positiony(src.positionY);
    param->set_positionz(src.positionZ);
    common::ToolInertia *inertia = param->mutable_toolinertia();
    inertia->set_xx(src.toolInertia.xx);
    inertia->set_xy(src.toolInertia.xy);
    inertia->set_xz(src.toolInertia.xz);
    inertia->set_yy(src.toolInertia.yy);
    inertia->set_yz(src.toolInertia.yz);
    inertia->set_zz(src.toolInertia.zz);
    return true;
}

bool ProtoEncodeDecode::toolParamTypeConversion(const ToolKinematicsParam &src,
                                                common::ToolParam &dst) {
    dst.clear_errorinfo();
    dst.clear_tooldynamicsparam();
    dst.clear_toolkinematicsparam();
    common::ToolKinematicsParam *param = dst.add_toolkinematicsparam();
    writePos(src.toolInEndPosition, *param->mutable_toolposition());
    writeOri(src.toolInEndOrientation, *param->mutable_toolori());
    return true;
}

// ---------------------------------------------------------------- events, device, IO

void ProtoEncodeDecode::robotEventTypeConversion(const RobotEventInfo &src,
                                                 communication::ProtoCommunicationRobotEvent &dst) {
    dst.set_eventtype(static_cast<int>(src.eventType));
    dst.set_eventcode(src.eventCode);
    dst.set_eventcontent(src.eventContent);
}

void ProtoEncodeDecode::robotEventTypeConversion(
    const communication::ProtoCommunicationRobotEvent &src, RobotEventInfo &dst) {
    dst.eventType = static_cast<RobotEventType>(src.eventtype());
    dst.eventCode = src.eventcode();
    dst.eventContent = src.eventcontent();
}

void ProtoEncodeDecode::RobotDevInfoTypeConversion(const communication::YrlRobotDevInfo &src,
                                                   RobotDevInfo &dst) {
    std::memset(&dst, 0, sizeof(dst));
    dst.type = static_cast<uint8>(src.type());
    copyCut(dst.revision, src.revision(), sizeof(dst.revision) - 1);
    copyCut(dst.manu_id, src.manuid(), sizeof(dst.manu_id) - 1);
    copyCut(dst.joint_type, src.jointtype(), sizeof(dst.joint_type) - 1);
    const int versions = std::min<int>(8, src.jointver_size());
    for (int i = 0; i < versions; ++i) {
        JointVersion &version = dst.joint_ver[i];
        copyCut(version.sw_version, src.jointver(i).swversion(), sizeof(version.sw_version) - 1);
        copyCut(version.hw_version, src.jointver(i).hwversion(), sizeof(version.hw_version) - 1);
    }
    // The controller's description and extension board texts are kept to 11 characters.
    copyCut(dst.desc, src.desc(), 11);
    const int products = std::min<int>(8, src.jointproductid_size());
    for (int i = 0; i < products; ++i) {
        copyCut(dst.jointProductID[i].productID, src.jointproductid(i),
                sizeof(dst.jointProductID[i].productID) - 1);
    }
    copyCut(dst.slave_version, src.slavedevversion(), sizeof(dst.slave_version) - 1);
    copyCut(dst.extio_version, src.extendioboardversion(), 11);
}

void ProtoEncodeDecode::RobotDiagnosisIODescTypeConversion(
    const RobotDiagnosisIODesc &src, communication::ProtoRobotDiagnosisIODesc &dst) {
    dst.set_addr(src.addr);
    dst.set_value(src.value);
    dst.set_type(src.type);
}

void ProtoEncodeDecode::RobotDiagnosisIODescTypeConversion(
    const communication::ProtoRobotDiagnosisIODesc &src, RobotDiagnosisIODesc &dst) {
    dst.addr = static_cast<uint8>(src.addr());
    dst.value = static_cast<uint8>(src.value());
    dst.type = static_cast<uint8>(src.type());
}

void ProtoEncodeDecode::RobotAnalogIODescTypeConversion(
    const RobotAnalogIODesc &src, communication::ProtoRobotAnalogIODesc &dst) {
    dst.set_addr(src.addr);
    dst.set_type(src.type);
    dst.set_value(src.value);
}

void ProtoEncodeDecode::RobotAnalogIODescTypeConversion(
    const communication::ProtoRobotAnalogIODesc &src, RobotAnalogIODesc &dst) {
    dst.addr = static_cast<uint8>(src.addr());
    dst.type = static_cast<uint8>(src.type());
    dst.value = src.value();
}

// ---------------------------------------------------------------- general data

void ProtoEncodeDecode::makeProtoCommunicationGeneralData(
    communication::ProtoCommunicationGeneralData &dst, const std::vector<int> &propertyVector1,
    const std::vector<bool> &propertyVector2) {
    dst.set_type(1);
    for (int value : propertyVector1) {
        dst.add_property1(value);
    }
    for (bool value : propertyVector2) {
        dst.add_property2(value);
    }
}

bool ProtoEncodeDecode::ProtoCommunicationGeneralDataMessageSerialize(
    const communication::ProtoCommunicationGeneralData &src, char **ptr, int *size) {
    return finishRequest(src, ptr, size, Sink::Stderr,
                         "ERROR:ProtoCommunicationGeneralDataMessageSerialize Serialize fail.");
}

void ProtoEncodeDecode::resolveProtoCommunicationGeneralData(
    const communication::ProtoCommunicationGeneralData &src, std::vector<int> &propertyVector1,
    std::vector<bool> &propertyVector2, int &errorCode) {
    propertyVector1.assign(src.property1().begin(), src.property1().end());
    propertyVector2.assign(src.property2().begin(), src.property2().end());
    takeFirstErrorCode(src.errorinfo(), errorCode);
}

bool ProtoEncodeDecode::ProtoCommunicationGeneralDataMessageParse(
    const char *buffer, int size, communication::ProtoCommunicationGeneralData &dst) {
    return parseReply(dst, buffer, size, "ERROR: ProtoCommunicationGeneralDataMessageParse fail.");
}

// ---------------------------------------------------------------- request bodies

bool ProtoEncodeDecode::getRequest_login(char **ptr, int *size, const std::string &name,
                                         const std::string &passwd) {
    communication::ProtoRequestLogin message;
    message.set_username(name);
    message.set_passwd(passwd);
    return finishRequest(message, ptr, size, Sink::Stderr,
                         "ERROR: getRequest_login Serialize fail.");
}

bool ProtoEncodeDecode::getRequest_roadpoint(char **ptr, int *size, wayPoint_S &roadPoint) {
    common::ProtoRoadPoint message;
    roadPointTypeConversion(roadPoint, message);
    return finishRequest(message, ptr, size, Sink::Stdout, "getResponse_roadpoint Serialize fail.");
}

bool ProtoEncodeDecode::getRequest_tcpParam(char **ptr, int *size, const RobotTcpParam &tcpParam) {
    communication::RobotTcpParam message;
    robotTcpParamTypeConversion(tcpParam, message);
    return finishRequest(message, ptr, size, Sink::Stdout, "getRequest_tcpParam Serialize fail.");
}

bool ProtoEncodeDecode::getRequest_setToolDynamicsParam(
    char **ptr, int *size, const ToolDynamicsParam &toolDynamicsParam) {
    common::ToolParam message;
    toolParamTypeConversion(toolDynamicsParam, message);
    return finishRequest(message, ptr, size, Sink::ErrorLog,
                         "getRequest_setToolDynamicsParam Serialize fail.");
}

bool ProtoEncodeDecode::getRequest_setToolKinematicsParam(
    char **ptr, int *size, const ToolKinematicsParam &toolKinematicsParam) {
    common::ToolParam message;
    toolParamTypeConversion(toolKinematicsParam, message);
    return finishRequest(message, ptr, size, Sink::ErrorLog,
                         "getRequest_setToolKinematicsParam Serialize fail.");
}

bool ProtoEncodeDecode::getRequest_startupOfflineExcitTraj(char **ptr, int *size, std::string name,
                                                           int type, int subtype) {
    communication::ProtoCommunicationOfflineExcitTraj message;
    message.set_trackfile(name);
    message.set_type(type);
    message.set_subtype(subtype);
    return finishRequest(message, ptr, size, Sink::ErrorLog,
                         "getRequest_startupOfflineExcitTraj Serialize fail.");
}

bool ProtoEncodeDecode::getRequest_robotControl(char **ptr, int *size, RobotControlCommand cmd) {
    return buildGeneralData(ptr, size, {static_cast<int>(cmd)}, {},
                            "ERROR:getRequest_robotControl Serialize fail.");
}

bool ProtoEncodeDecode::getRequest_setRobotPowerStatus(char **ptr, int *size, bool value) {
    return buildGeneralData(ptr, size, {}, {value}, "ERROR:setRobotPowerStatus Serialize fail.");
}

bool ProtoEncodeDecode::getRequest_setRobotWorkMode(char **ptr, int *size, RobotWorkMode mode) {
    return buildGeneralData(ptr, size, {static_cast<int>(mode)}, {},
                            "ERROR:setRobotWorkMode Serialize fail.");
}

bool ProtoEncodeDecode::getRequest_robotMoveControl(char **ptr, int *size,
                                                    RobotMoveControlCommand value) {
    return buildGeneralData(ptr, size, {static_cast<int>(value)}, {},
                            "ERROR:robotMoveControl Serialize fail.");
}

bool ProtoEncodeDecode::getRequest_setRobotBoardMaxAcc(char **ptr, int *size, int maxAcc) {
    return buildGeneralData(ptr, size, {maxAcc}, {}, "ERROR:setRobotBoardMaxAcc Serialize fail.");
}

bool ProtoEncodeDecode::getRequest_setRobotCollision(char **ptr, int *size, int grade) {
    return buildGeneralData(ptr, size, {grade}, {}, "ERROR: setRobotCollision Serialize fail.");
}

bool ProtoEncodeDecode::getRequest_robotStartup(char **ptr, int *size,
                                                const RobotTcpParam &tcpParam, uint8 collisionClass,
                                                bool readPose, bool staticCollisionDetect,
                                                int maxAcc) {
    communication::ProtoCommunicationRobotStartupProfile message;
    robotTcpParamTypeConversion(tcpParam, *message.mutable_tcpparam());
    message.set_readpose(readPose);
    message.set_staticcollisiondetect(staticCollisionDetect);
    message.set_collisionclass(collisionClass);
    message.set_maxacc(maxAcc);
    return finishRequest(message, ptr, size, Sink::Stdout,
                         "getRequest_robotStartup Serialize fail.");
}

bool ProtoEncodeDecode::getRequest_setSafetyConfig(char **ptr, int *size,
                                                   const RobotSafetyConfig &safetyConfig) {
    common::ProtoResponseRobotSafetyConfig message;
    RobotSafetyConfigTypeConversion(safetyConfig, *message.add_safetyconfig());
    message.mutable_errorinfo()->set_errorcode(0);
    message.mutable_errorinfo()->set_errormsg("");
    return finishRequest(message, ptr, size, Sink::ErrorLog,
                         "getRequest_setSafetyConfig Serialize fail.");
}

bool ProtoEncodeDecode::getRequest_safeIoParamAbout(char **ptr, int *size,
                                                    const std::vector<int> &paramVector) {
    communication::protoSafeCommunicationParam message;
    message.set_paramreserved(0);
    for (int value : paramVector) {
        message.add_param(static_cast<uint32>(value));
    }
    return finishRequest(message, ptr, size, Sink::ErrorLog,
                         "getRequest_safeIoParamAbout Serialize fail.");
}

bool ProtoEncodeDecode::getRequest_robotMove(char **ptr, int *size,
                                             const RobotMoveProfile &moveProfile,
                                             const std::vector<wayPoint_S> &wayPointVector) {
    static const char *const failure = "getRequest_robotMove Serialize fail.";
    if (!profileEnumsValid(moveProfile)) {
        return refuseProfile(moveProfile, ptr, size, failure);
    }
    common::RobotMove message;
    RobotMovePatamTypeConversion(moveProfile, wayPointVector, message);
    return finishRequest(message, ptr, size, Sink::Stdout, failure);
}

bool ProtoEncodeDecode::getRequest_robotTeachMove(
    char **ptr, int *size, const RobotMoveProfile &moveProfile,
    const CoordCalibrateByToolEndPoint &userCoordSystem) {
    static const char *const failure = "getRequest_robotTeachMove Serialize fail.";
    if (!profileEnumsValid(moveProfile)) {
        return refuseProfile(moveProfile, ptr, size, failure);
    }
    common::RobotTeachMove message;
    KezuRobotMoveProfileType2ProtoType(moveProfile, *message.mutable_move_profile());
    message.set_coordinatesystemtype(static_cast<int>(userCoordSystem.coordType));
    for (const wayPoint_S &wayPoint : userCoordSystem.wayPointArray) {
        roadPointTypeConversion(wayPoint, *message.add_calibrateroadpointvector());
    }
    message.add_calibratemathod(static_cast<int>(userCoordSystem.methods));
    return finishRequest(message, ptr, size, Sink::Stdout, failure);
}

bool ProtoEncodeDecode::getRequest_firmwareUpgrade(char **ptr, int *size, int cmd,
                                                   const void *firmwareContent, int length) {
    static const char *const failure = "getRequest_firmwareUpgrade Serialize fail.";
    communication::ProtoCommunicationRobotBoardFirmware message;
    if (length < 0 || (firmwareContent == nullptr && length > 0)) {
        // Nothing sound can be sent; fail like any other serialisation failure.
        return refuseRequest(ptr, size, Sink::Stdout, failure);
    }
    message.set_command(cmd);
    message.set_firmwarecontentsize(length);
    message.set_firmwarecontent(static_cast<const char *>(firmwareContent),
                                static_cast<size_t>(length));
    return finishRequest(message, ptr, size, Sink::Stdout, failure);
}

bool ProtoEncodeDecode::getRequest_robotDiagnosisIOData(
    char **ptr, int *size, const std::vector<RobotDiagnosisIODesc> &diagnosisIOVector) {
    communication::ProtoCommunicationRobotDiagnosisIOData message;
    message.set_type(0);
    for (const RobotDiagnosisIODesc &desc : diagnosisIOVector) {
        RobotDiagnosisIODescTypeConversion(desc, *message.add_iodesc());
    }
    return finishRequest(message, ptr, size, Sink::Stderr,
                         "ERROR:getResponse_robotDiagnosisIOData Serialize fail.");
}

bool ProtoEncodeDecode::getRequest_robotAnalogIOData(
    char **ptr, int *size, const std::vector<RobotAnalogIODesc> &analogIOVector) {
    communication::ProtoCommunicationRobotAnalogIOData message;
    message.set_type(0);
    for (const RobotAnalogIODesc &desc : analogIOVector) {
        RobotAnalogIODescTypeConversion(desc, *message.add_iodesc());
    }
    return finishRequest(message, ptr, size, Sink::Stderr,
                         "ERROR:getResponse_robotAnalogIOData Serialize fail.");
}

bool ProtoEncodeDecode::getRequest_robotRobotJointOffsetData(char **ptr, int *size,
                                                             RobotJointOffset &jointOffset) {
    common::RobotJointOffset message;
    message.set_joint1(jointOffset.jointOffset[0]);
    message.set_joint2(jointOffset.jointOffset[1]);
    message.set_joint3(jointOffset.jointOffset[2]);
    message.set_joint4(jointOffset.jointOffset[3]);
    message.set_joint5(jointOffset.jointOffset[4]);
    message.set_joint6(jointOffset.jointOffset[5]);
    return finishRequest(message, ptr, size, Sink::ErrorLog,
                         "getRequest_robotRobotJointOffsetData Serialize fail.");
}

// ---------------------------------------------------------------- reply and push bodies

bool ProtoEncodeDecode::resolveResponse_commonFormat(const char *buffer, int size,
                                                     CommunicationCommonResultResponse &response) {
    // Controllers leave out fields they have nothing for (the message, even the code, which
    // then counts as 0); only bytes that are no encoding of the message fail.
    communication::ProtoRobotCommonResponse message;
    if (!parseReply(message, buffer, size, "ERROR: resolveResponse_commonFormat Parse fail.",
                    true)) {
        return false;
    }
    response.m_errorCode = message.errorcode();
    response.m_errorMsg = message.errormsg();
    return true;
}

bool ProtoEncodeDecode::resolveResponse_robotEvent(const char *buffer, int size,
                                                   RobotEventInfo &robotEvent) {
    communication::ProtoCommunicationRobotEvent message;
    if (!parseReply(message, buffer, size, "ERROR:resolveResponse_robotEvent Parse fail.")) {
        return false;
    }
    robotEventTypeConversion(message, robotEvent);
    return true;
}

bool ProtoEncodeDecode::resolveResponse_robotEndSpeed(const char *buffer, int size, double &speed) {
    int scaled = 0;
    int errorCode = 0;  // a push carries no code the caller needs
    if (!resolveGeneralValue(buffer, size, ValueList::Ints, scaled, errorCode)) {
        return false;
    }
    // The controller sends the end speed scaled by 1000.
    speed = static_cast<double>(scaled) / 1000.0;
    return true;
}

bool ProtoEncodeDecode::resolveResponse_jointAngle(const char *buffer, int size,
                                                   JointParam &jointAngle, int &errorCode) {
    common::ProtoJointAngleResponse message;
    if (!parseReply(message, buffer, size, "resolveResponse_jointAngle Parse fail.")) {
        return false;
    }
    const common::ProtoJointAngle &angle = message.jointangle();
    jointAngle.jointPos[0] = angle.joint1();
    jointAngle.jointPos[1] = angle.joint2();
    jointAngle.jointPos[2] = angle.joint3();
    jointAngle.jointPos[3] = angle.joint4();
    jointAngle.jointPos[4] = angle.joint5();
    jointAngle.jointPos[5] = angle.joint6();
    takeFirstErrorCode(message.errorinfo(), errorCode);
    return message.errorinfo_size() > 0;
}

bool ProtoEncodeDecode::resolveResponse_jointStatus(const char *buffer, int size,
                                                    JointStatus *jointStatusBuffer, int len,
                                                    int &errorCode) {
    common::ProtoRobotAllJointStatusResponse message;
    if (!parseReply(message, buffer, size, "resolveResponse_jointStatus Parse fail.")) {
        return false;
    }
    const int count = jointStatusBuffer == nullptr ? 0 : std::min(len, message.jointstatus_size());
    for (int i = 0; i < count; ++i) {
        jointStatusTypeConversion(message.jointstatus(i), jointStatusBuffer[i]);
    }
    takeFirstErrorCode(message.errorinfo(), errorCode);
    return true;
}

bool ProtoEncodeDecode::resolveResponse_robotDiagnosis(const char *buffer, int size,
                                                       RobotDiagnosis &robotDiagnosis) {
    communication::RobotDiagnosis message;
    if (!parseReply(message, buffer, size, "resolveResponse_robotDiagnosis Parse fail.")) {
        return false;
    }
    robotDiagnosisTypeConversion(message, robotDiagnosis);
    return true;
}

bool ProtoEncodeDecode::resolveResponse_robotDiagnosisInfo(const char *buffer, int size,
                                                           RobotDiagnosis &robotDiagnosis,
                                                           int &errorCode) {
    communication::ProtoCommunicationRobotDiagnosisInfo message;
    if (!parseReply(message, buffer, size, "resolveResponse_robotDiagnosisInfo Parse fail.")) {
        return false;
    }
    errorCode = 0;
    takeFirstErrorCode(message.errorinfo(), errorCode);
    if (message.robotdiagnosis_size() > 0) {
        robotDiagnosisTypeConversion(message.robotdiagnosis(0), robotDiagnosis);
    }
    return true;
}

bool ProtoEncodeDecode::resolveResponse_devInfo(const char *buffer, int size, RobotDevInfo &devInfo,
                                                int &errorCode) {
    return resolveCoded<common::ProtoResponseRobotDevInfo>(
        buffer, size, "resolveResponse_devInfo Parse fail.", errorCode,
        [&](const common::ProtoResponseRobotDevInfo &m) {
            if (m.devinfo_size() > 0) {
                RobotDevInfoTypeConversion(m.devinfo(0), devInfo);
            }
            return true;
        });
}

bool ProtoEncodeDecode::resolveResponse_tcpParam(const char *buffer, int size,
                                                 RobotTcpParam &tcpParam, int &errorCode) {
    return resolveCoded<common::ProtoResponseRobotTcpParam>(
        buffer, size, "resolveResponse_tcpParam Parse fail.", errorCode,
        [&](const common::ProtoResponseRobotTcpParam &m) {
            if (m.tcpparam_size() > 0) {
                robotTcpParamTypeConversion(m.tcpparam(0), tcpParam);
            }
            return true;
        });
}

bool ProtoEncodeDecode::resolveResponse_getToolDynamicsParam(const char *buffer, int size,
                                                             ToolDynamicsParam &toolDynamicsParam,
                                                             int &errorCode) {
    return resolveCoded<common::ToolParam>(
        buffer, size, "resolveResponse_getToolDynamicsParam Parse fail.", errorCode,
        [&](const common::ToolParam &m) { return toolParamTypeConversion(m, toolDynamicsParam); });
}

bool ProtoEncodeDecode::resolveResponse_getToolKinematicsParam(
    const char *buffer, int size, ToolKinematicsParam &toolKinematicsParam, int &errorCode) {
    return resolveCoded<common::ToolParam>(
        buffer, size, "resolveResponse_getToolKinematicsParam Parse fail.", errorCode,
        [&](const common::ToolParam &m) {
            return toolParamTypeConversion(m, toolKinematicsParam);
        });
}

bool ProtoEncodeDecode::resolveResponse_getDynIdentifyResults(const char *buffer, int size,
                                                              std::vector<int> &paramVector,
                                                              int &errorCode) {
    communication::ProtoCommunicationDynIdentifyResults message;
    if (!parseReply(message, buffer, size, "resolveResponse_getDynIdentifyResults Parse fail.")) {
        return false;
    }
    takeFirstErrorCode(message.errorinfo(), errorCode);
    if (errorCode == 0) {
        paramVector.assign(message.param().begin(), message.param().end());
    }
    return true;
}

bool ProtoEncodeDecode::resolveResponse_gravityComponent(const char *buffer, int size,
                                                         RobotGravityComponent &gravityComponent,
                                                         int &errorCode) {
    return resolveCoded<common::ProtoResponseRobotGravityComponent>(
        buffer, size, "resolveResponse_gravityComponent Parse fail.", errorCode,
        [&](const common::ProtoResponseRobotGravityComponent &m) {
            if (m.gravitycomponent_size() > 0) {
                robotGravityComponentTypeConversion(m.gravitycomponent(0), gravityComponent);
            }
            return true;
        });
}

bool ProtoEncodeDecode::resolveResponse_collisionCurrent(const char *buffer, int size,
                                                         RobotCollisionCurrent &collisionCurrent,
                                                         int &errorCode) {
    return resolveCoded<common::ProtoResponseRobotCollisionCurrent>(
        buffer, size, "resolveResponse_collisionCurrent Parse fail.", errorCode,
        [&](const common::ProtoResponseRobotCollisionCurrent &m) {
            if (m.collisioncurrent_size() > 0) {
                robotCollisionCurrentTypeConversion(m.collisioncurrent(0), collisionCurrent);
            }
            return true;
        });
}

bool ProtoEncodeDecode::resolveResponse_robotWorkMode(const char *buffer, int size,
                                                      RobotWorkMode &mode, int &errorCode) {
    int value = 0;
    if (!resolveGeneralValue(buffer, size, ValueList::Ints, value, errorCode)) {
        return false;
    }
    mode = static_cast<RobotWorkMode>(value);
    return true;
}

bool ProtoEncodeDecode::resolveResponse_robotState(const char *buffer, int size, RobotState &state,
                                                   int &errorCode) {
    int value = 0;
    if (!resolveGeneralValue(buffer, size, ValueList::Ints, value, errorCode)) {
        return false;
    }
    state = static_cast<RobotState>(value);
    return true;
}

bool ProtoEncodeDecode::resolveResponse_isRealRobotExist(const char *buffer, int size, bool &value,
                                                         int &errorCode) {
    int raw = 0;
    if (!resolveGeneralValue(buffer, size, ValueList::Bools, raw, errorCode)) {
        return false;
    }
    value = raw != 0;
    return true;
}

bool ProtoEncodeDecode::resolveResponse_safetyConfig(const char *buffer, int size,
                                                     RobotSafetyConfig &safetyConfig,
                                                     int &errorCode) {
    return resolveCoded<common::ProtoResponseRobotSafetyConfig>(
        buffer, size, "resolveResponse_safetyConfig Parse fail.", errorCode,
        [&](const common::ProtoResponseRobotSafetyConfig &m) {
            if (m.safetyconfig_size() > 0) {
                RobotSafetyConfigTypeConversion(m.safetyconfig(0), safetyConfig);
            }
            return true;
        });
}

bool ProtoEncodeDecode::resolveResponse_safetyStatus(const char *buffer, int size,
                                                     OrpeSafetyStatus &safetyStatus,
                                                     int &errorCode) {
    return resolveCoded<common::ProtoResponseOrpeSafetyStatus>(
        buffer, size, "resolveResponse_safetyStatus Parse fail.", errorCode,
        [&](const common::ProtoResponseOrpeSafetyStatus &m) {
            if (m.safetystatus_size() > 0) {
                OrpeSafetyStatusTypeConversion(m.safetystatus(0), safetyStatus);
            }
            return true;
        });
}

bool ProtoEncodeDecode::resolveResponse_DhParam(const char *buffer, int size, int &robotType,
                                                RobotDhPara &robotDhPara, int &errorCode) {
    return resolveCoded<common::ProtoResponseRobotDhParam>(
        buffer, size, "resolveResponse_DhParam Parse fail.", errorCode,
        [&](const common::ProtoResponseRobotDhParam &m) {
            robotType = m.robottype();
            const common::DhParam &dh = m.dhparam();
            robotDhPara.A3 = dh.a3();
            robotDhPara.A4 = dh.a4();
            robotDhPara.D1 = dh.d1();
            robotDhPara.D2 = dh.d2();
            robotDhPara.D5 = dh.d5();
            robotDhPara.D6 = dh.d6();
            return true;
        });
}

bool ProtoEncodeDecode::resolveResponse_robotDiagnosisIOData(
    const char *buffer, int size, std::vector<RobotDiagnosisIODesc> &diagnosisIOStatusVector,
    int &errorCode) {
    diagnosisIOStatusVector.clear();
    communication::ProtoCommunicationRobotDiagnosisIOData message;
    if (!parseReply(message, buffer, size,
                    "ERROR:resolveRequest_robotDiagnosisIOData Parse fail.")) {
        return false;
    }
    for (const communication::ProtoRobotDiagnosisIODesc &item : message.iodesc()) {
        RobotDiagnosisIODesc desc{};
        RobotDiagnosisIODescTypeConversion(item, desc);
        diagnosisIOStatusVector.push_back(desc);
    }
    takeFirstErrorCode(message.errorinfo(), errorCode);
    return true;
}

bool ProtoEncodeDecode::resolveResponse_robotAnalogIOData(
    const char *buffer, int size, std::vector<RobotAnalogIODesc> &analogIOStatusVector,
    int &errorCode) {
    analogIOStatusVector.clear();
    communication::ProtoCommunicationRobotAnalogIOData message;
    if (!parseReply(message, buffer, size, "ERROR:resolveRequest_robotAnalogIOData Parse fail.")) {
        return false;
    }
    for (const communication::ProtoRobotAnalogIODesc &item : message.iodesc()) {
        RobotAnalogIODesc desc{};
        RobotAnalogIODescTypeConversion(item, desc);
        analogIOStatusVector.push_back(desc);
    }
    takeFirstErrorCode(message.errorinfo(), errorCode);
    return true;
}

bool ProtoEncodeDecode::resolveResponse_robotToolIoStatus(const char *buffer, int size,
                                                          RobotToolAllIOStatus &toolAllIOStatus,
                                                          int &errorCode) {
    communication::ProtoCommunicationToolAllIOStatusInfoResponse message;
    if (!parseReply(message, buffer, size, "resolveResponse_robotToolIoStatus Parse fail.")) {
        return false;
    }
    const communication::toolAllIOStatus &status = message.tooliostatus();
    const int code = message.errorinfo().errorcode();
    toolAllIOStatus.powerType = static_cast<ToolPowerType>(status.powertype());
    toolAllIOStatus.systemVoltage = static_cast<float>(status.systemvoltage());
    toolAllIOStatus.systemTemperature = static_cast<float>(status.systemtemperature());
    // The tool's error state travels in the reply code, not in errorStatus.
    toolAllIOStatus.errorStatus = static_cast<uint8>(code);
    const int digital = std::min(4, status.digitaliostatus_size());
    for (int i = 0; i < digital; ++i) {
        toolAllIOStatus.digitalIoStatus[i].ioData =
            static_cast<uint8>(status.digitaliostatus(i).iodata());
        toolAllIOStatus.digitalIoStatus[i].ioType =
            static_cast<ToolIOType>(status.digitaliostatus(i).iotype());
    }
    const int analog = std::min(2, status.aidata_size());
    for (int i = 0; i < analog; ++i) {
        toolAllIOStatus.aiData[i] = static_cast<float>(status.aidata(i));
    }
    errorCode = code;
    return true;
}

bool ProtoEncodeDecode::resolveResponse_ethernetDeviceName(const char *buffer, int size,
                                                           std::string &ethernetDeviceName,
                                                           int &errorCode) {
    communication::ProtoCommunicationEthernetDeviceNameResponse message;
    if (!parseReply(message, buffer, size,
                    "ERROR:resolveResponse_ethernetDeviceName Parse fail.")) {
        return false;
    }
    ethernetDeviceName = message.name();
    errorCode = message.errorinfo().errorcode();
    return true;
}

bool ProtoEncodeDecode::getResponse_Event(char *ptr, int *size, const RobotEventInfo &robotEvent) {
    if (ptr == nullptr || size == nullptr) {
        return false;
    }
    communication::ProtoCommunicationRobotEvent message;
    robotEventTypeConversion(robotEvent, message);
    const size_t length = message.ByteSizeLong();
    if (*size < 0 || static_cast<size_t>(*size) < length) {
        return false;
    }
    if (!message.SerializePartialToArray(ptr, static_cast<int>(length))) {
        *size = 0;
        kezu_robot_logtrace::W_ERROR("getResponse_Event Serialize fail.");
        return false;
    }
    *size = static_cast<int>(length);
    return true;
}
