// platform hooks
