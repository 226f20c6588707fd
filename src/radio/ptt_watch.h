#pragma once
// What the console knows of one rig connection's transmit state (PTT): whether the rig can
// report it at all, and what it last reported. No libhamlib here, so the rules are tested
// without a radio; the rig's poller feeds it what each PTT read gave.
namespace kt6 {

// PTT reads in a row that may fail, after the rig has answered one, before the rig counts as
// one that cannot report PTT: a single lost answer must not end a transmission early.
inline constexpr int kPttFailuresToGiveUp = 3;

class PttWatch {
  public:
    // A new connection to the rig; modelCanTell is false for a model with no way to read PTT,
    // which is then never asked.
    void opened(bool modelCanTell);
    // True while PTT is worth reading on this connection.
    bool asking() const { return asking_; }
    // The rig answered a PTT read.
    void answered(bool transmitting);
    // A PTT read failed or was refused. Before any answer the rig cannot report PTT; after
    // one, the last answer stands until kPttFailuresToGiveUp reads in a row have failed.
    void failed();
    // True while the rig's last word is that it transmits; false once it cannot tell.
    bool transmitting() const { return transmitting_; }

  private:
    bool asking_ = false;
    bool answeredOnce_ = false;
    bool transmitting_ = false;
    int failures_ = 0;
};

}  // namespace kt6
