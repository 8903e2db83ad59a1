#include "replay_source.h"

void TReplaySource::AddClient(const TAudioClientEvent& callback) {
    if (callback.empty()) return;
    if (clients_.add(callback)) FreeNotification(callback.target());
}

void TReplaySource::play(const std::uint8_t* bytes, int byteCount) {
    data_.assign(bytes, bytes + byteCount);
    const int bitsPerFrame = quality_.Channels() * quality_.BitsPerSample();
    frameCount_ = bitsPerFrame > 0 ? byteCount * 8 / bitsPerFrame : 0;
    clients_.notify(this, kAudioBufferReady);
}

void TReplaySource::Notification(TComponent* component, TOperation operation) {
    if (operation == TOperation::opRemove) clients_.removeTarget(component);
    TAudioSource::Notification(component, operation);
}
