// Sending and receiving pictures as the window sees it.
#include "app/guard.h"
#include "app/sstvform.h"

#include <QPushButton>

void TSSTVForm::BindExchange()
{
    connect(SendTo, &QPushButton::clicked, this, Handler(this, &TSSTVForm::SendToClick));
    connect(SendToIP, &QPushButton::clicked, this, Handler(this, &TSSTVForm::SendToIPClick));
    connect(SendToRX, &QPushButton::clicked, this, Handler(this, &TSSTVForm::SendToRXClick));
    // Serves the listeners that FormShow opens; connecting is all it does here.
    SetReceiveLimits({});
}
