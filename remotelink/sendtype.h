#pragma once
// The message types of the relay link.  The numbers are the wire's type
// field and the keys of the enable table ("cnt_net/whichsend.config").
enum SendType {
    SendTypeReserved0 = 0,
    SendTypeRecord = 1,
    SendTypeParam = 2,
    SendTypeReserved3 = 3,
    SendTypeReserved4 = 4,
    SendTypeAlarmPic = 5,
    SendTypeTempPic = 6,
    SendTypeStatistics = 7,
    SendTypeROIParam = 8,
    SendTypeMemoryInfo = 9,
    SendTypeManualStop = 10,
    SendTypeDelTempPic = 11,
    SendTypeAddRemind = 12,
    SendTypeDelRemind = 13,
    SendTypeGetProduct = 14,
    SendTypeSaveNgVideo = 15,
    SendTypeTelInfo = 16,
    SendTypeGetRemindList = 17,
    SendTypeStatisticsOnce = 18,
    SendTypeRunState = 19,
    SendTypeCancle = 20,
};
constexpr int kSendTypeCount = 21;
