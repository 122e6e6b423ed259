#pragma once

#include <functional>
#include <string>

#include "client/database.h"
#include "client/status.h"

// The VOBs a view sees, the checkouts of views in VOBs, and the faults that a
// VOB can be made to answer: what stavetool changes and the vob_ob_* calls read.
//
// A VOB enters a view's inventory when the view is told to see it
// (AddVobToView) or when an element of it is checked out to the view.
namespace kelmora::client {

// TBS_ST_EXISTS when the view sees the VOB already.
tbs_status_t AddVobToView(const std::string& view_tag, const std::string& vob_tag);

struct CCheckoutRecord {
    std::string vob_tag;
    std::string element;
    std::string master_replica;  // the replica's name
    std::string oid;
};

// The line that lists a checkout: VOB tag, element and master replica,
// separated by tabs, with a line feed.
std::string CheckoutLine(const CCheckoutRecord& checkout);

// At most 1023 bytes, none of them a control character.
bool IsValidElementName(const std::string& element);

// Checks the element out to the view under the replica named master (empty:
// this site's). A name new to a replicated VOB is taken as another site's
// replica of it; an unreplicated VOB has only its own (TBS_ST_INVALID).
// TBS_ST_EXISTS when the view has the element checked out already.
tbs_status_t CheckOut(const std::string& view_tag, const std::string& vob_tag,
                      const std::string& element, const std::string& master);
// Ends the checkout, checked in or undone; TBS_ST_NOT_FOUND when there is none.
tbs_status_t EndCheckOut(const std::string& view_tag, const std::string& vob_tag,
                         const std::string& element);
// The same three inside the caller's transaction.
tbs_status_t AddVobToView(CClientDatabase* db, const std::string& view_tag,
                          const std::string& vob_tag);
tbs_status_t CheckOut(CClientDatabase* db, const std::string& view_tag, const std::string& vob_tag,
                      const std::string& element, const std::string& master);
tbs_status_t EndCheckOut(CClientDatabase* db, const std::string& view_tag,
                         const std::string& vob_tag, const std::string& element);
// The view's checkouts in the order they were made, one row at a time;
// visit returns false to stop early.
tbs_status_t ForEachCheckout(const std::string& view_tag,
                             const std::function<bool(const CCheckoutRecord&)>& visit);

// From now on the VOB answers status from the calls named by call (one of
// the kVobFault* names); status 0 takes the fault away.
tbs_status_t SetVobFault(const std::string& vob_tag, tbs_status_t status, const std::string& call);
bool IsVobFaultCall(const std::string& call);

}  // namespace kelmora::client
