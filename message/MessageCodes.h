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

/** What an UpdateStatus reports. 0 is success; every other value is a failure and
    says which, so that an unattended run can tell its caller what to do next. The
    window shows the same text for all of them. */
enum UpdateResult : int
{
    updateSucceeded = 0,
    pedalDidNotReturn = 1,   ///< not found again after the transfer
    revisionNotAnswered = 2, ///< found again, but gave no usable answer to the revision query
    revisionMismatch = 3,    ///< it reported a revision other than the image's
    pedalNotFound = 4,       ///< no pedal to send the image to
    transferNotStarted = 5,  ///< the transfer's thread could not be started
    severalPedals = 6        ///< more than one pedal answered (one was plugged in during the update)
};

/** Where an SVNUpdate's revision comes from. */
enum RevisionSource : int
{
    revisionFromPedal = 2,
    revisionFromImage = 3
};

} // namespace message
