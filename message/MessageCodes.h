#pragma once

namespace message
{

/** The type code carried by every message. The gaps (8, 9, 18) belong to no class. */
enum Code : int
{
    helpRequest = 0,
    helpResponse = 1,
    closeRequest = 2,
    updateRequest = 3,
    productInfoRequest = 4,
    productInfoResponse = 5,
    updateButtonEnable = 6,
    updateButtonDisable = 7,
    textMessage = 10,
    nextPackageRequest = 11,
    nextPackageResponse = 12,
    progressUpdate = 13,
    modelIdRequest = 14,
    modelIdResponse = 15,
    svnUpdate = 16,
    svnNumberRequest = 17,
    deviceNotFound = 19,
    deviceFound = 20,
    updateStatus = 21
};

/** Where an SVNUpdate's revision comes from. */
enum RevisionSource : int
{
    revisionFromPedal = 2,
    revisionFromImage = 3
};

} // namespace message
